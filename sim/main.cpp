// korvane-sim: a tracker on a pseudo-terminal, linked into the ports folder as a COM number, so
// that the window (or anything else that speaks the line protocol) can be tried without hardware.
#include "link/port_names.h"
#include "sim/pty_tracker.h"
#include "sim/state.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const char c = char(sig);
    (void)!::write(signalPipe[1], &c, 1);
}

void say(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void complain(const QString& text)
{
    std::fputs(("korvane-sim: " + text).toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Wire text made readable on one line: control bytes as escapes.
QString visible(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'"' || c == u'\\')
            out += QStringLiteral("\\") + c;
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u > 0xFF || u == 0xFF)
            out += QString::asprintf("\\x%02X", u & 0xFF);
        else
            out += c;
    }
    return out + u'"';
}

int comNumber(const QString& text)
{
    QString t = text.trimmed().toUpper();
    if (t.startsWith(QLatin1String("COM")))
        t = t.mid(3);
    bool ok = false;
    const int n = t.toInt(&ok);
    return ok && n >= 1 && n <= 9 ? n : -1;
}

bool intOption(const QCommandLineParser& p, const QString& name, int lo, int* out)
{
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < lo) {
        complain(QStringLiteral("--%1 wants a whole number of at least %2, not \"%3\"")
                     .arg(name).arg(lo).arg(p.value(name)));
        return false;
    }
    *out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A GPS tracker on a pseudo-terminal, linked as COMn in the ports folder "
        "($XDG_CONFIG_HOME/korvane/ports, ~/.config when unset). Open that COM number in Korvane."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("COM number to appear as (COM1..COM9)."),
         QStringLiteral("COMn"), QStringLiteral("COM4")},
        {QStringLiteral("force"), QStringLiteral("Replace a ports link that points to another device.")},
        {QStringLiteral("silent"), QStringLiteral("Never answer.")},
        {QStringLiteral("crlf"), QStringLiteral("Append \\r\\n to every reply.")},
        {QStringLiteral("chunk"), QStringLiteral("Send replies in chunks of N bytes."), QStringLiteral("N")},
        {QStringLiteral("chunk-delay"), QStringLiteral("Delay between chunks."), QStringLiteral("MS")},
        {QStringLiteral("fail-on"), QStringLiteral("Answer ERROR! to commands starting with PREFIX."),
         QStringLiteral("PREFIX")},
        {QStringLiteral("garbage"), QStringLiteral("Put garbage bytes (NUL, 0xFF, \\r) before every reply.")},
        {QStringLiteral("flood"), QStringLiteral("Send debug lines endlessly at about line rate.")},
        {QStringLiteral("hang-up-after"), QStringLiteral("Answer N commands, then hang up on the next."),
         QStringLiteral("N")},
        {QStringLiteral("state"),
         QStringLiteral("Start from FILE: a parameter dump (as the tracker answers SETG) or a profile."),
         QStringLiteral("FILE")},
    });
    // Not process(): it ends a bad command line with status 1, which here means "COM number taken".
    if (!parser.parse(QCoreApplication::arguments())) {
        complain(QStringLiteral("%1 (see --help)").arg(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        complain(QStringLiteral("unexpected argument \"%1\" (see --help)").arg(parser.positionalArguments().constFirst()));
        return 2;
    }

    const int com = comNumber(parser.value(QStringLiteral("port")));
    if (com < 0) {
        complain(QStringLiteral("--port wants COM1..COM9, not \"%1\"").arg(parser.value(QStringLiteral("port"))));
        return 2;
    }

    sim::PtyTracker tracker;
    if (parser.isSet(QStringLiteral("state"))) {
        QFile file(parser.value(QStringLiteral("state")));
        if (!file.open(QIODevice::ReadOnly)) {
            complain(QStringLiteral("--state: %1: %2").arg(file.fileName(), file.errorString()));
            return 2;
        }
        if (const QString error = sim::loadState(tracker.tracker(), file.read(1 << 20)); !error.isEmpty()) {
            complain(QStringLiteral("--state: %1: %2").arg(file.fileName(), error));
            return 2;
        }
    }
    sim::Faults& f = tracker.faults();
    f.silent = parser.isSet(QStringLiteral("silent"));
    f.crlf = parser.isSet(QStringLiteral("crlf"));
    f.garbage = parser.isSet(QStringLiteral("garbage"));
    f.failOn = parser.value(QStringLiteral("fail-on"));
    if (!intOption(parser, QStringLiteral("chunk"), 1, &f.chunkSize)
        || !intOption(parser, QStringLiteral("chunk-delay"), 0, &f.chunkDelayMs)
        || !intOption(parser, QStringLiteral("hang-up-after"), 0, &f.hangUpAfter))
        return 2;

    // Never take over a COM number that names a live device: the technician's USB adapter, or a
    // simulator that is still running. A link to nothing is an earlier run's leftover.
    const QString entry = ports::entryPath(com);
    const QByteArray entryBytes = QFile::encodeName(entry);
    struct stat st {};
    if (::lstat(entryBytes.constData(), &st) == 0) {
        const QFileInfo info(entry);
        if (!S_ISLNK(st.st_mode)) {
            complain(QStringLiteral("%1 exists and is not a link; COM%2 is left alone. Remove it by hand "
                                    "or choose another --port.").arg(entry).arg(com));
            return 1;
        }
        const QString target = info.symLinkTarget();
        if (info.exists()) {
            if (!parser.isSet(QStringLiteral("force"))) {
                complain(QStringLiteral("COM%1 is taken: %2 points to %3, which exists. Choose another "
                                        "--port, or add --force to replace the link.")
                             .arg(com).arg(entry, target));
                return 1;
            }
            say(QStringLiteral("korvane-sim: --force: replacing %1 (was -> %2)").arg(entry, target));
            if (::unlink(entryBytes.constData()) != 0) {
                complain(QStringLiteral("cannot remove %1").arg(entry));
                return 1;
            }
        } else {
            say(QStringLiteral("korvane-sim: replacing dangling link %1 (was -> %2, gone)").arg(entry, target));
        }
    }

    QString error;
    if (!tracker.start(&error)) {
        complain(QStringLiteral("no pseudo-terminal: %1").arg(error));
        return 1;
    }
    if (!tracker.linkAs(com, &error)) {
        complain(QStringLiteral("cannot link COM%1: %2").arg(com).arg(error));
        return 1;
    }
    say(QStringLiteral("korvane-sim: tracker on %1").arg(tracker.slavePath()));
    say(QStringLiteral("korvane-sim: COM%1 is %2 -> %3").arg(com).arg(entry, tracker.slavePath()));

    QStringList active;
    if (f.silent) active << QStringLiteral("silent");
    if (f.crlf) active << QStringLiteral("crlf");
    if (f.chunkSize > 0) active << QStringLiteral("chunks of %1 bytes every %2 ms").arg(f.chunkSize).arg(f.chunkDelayMs);
    if (!f.failOn.isEmpty()) active << QStringLiteral("ERROR! on %1").arg(visible(f.failOn));
    if (f.garbage) active << QStringLiteral("garbage");
    if (f.hangUpAfter >= 0) active << QStringLiteral("hang up after %1 commands").arg(f.hangUpAfter);
    if (parser.isSet(QStringLiteral("flood"))) active << QStringLiteral("flood");
    if (!active.isEmpty())
        say(QStringLiteral("korvane-sim: faults: %1").arg(active.join(QStringLiteral(", "))));

    QObject::connect(&tracker, &sim::PtyTracker::commandReceived, [](const QString& line) {
        say(QStringLiteral("<- %1").arg(visible(line)));
    });
    QObject::connect(&tracker, &sim::PtyTracker::replied, [](const QString& reply) {
        say(QStringLiteral("-> %1").arg(visible(reply)));
    });
    QObject::connect(&tracker, &sim::PtyTracker::hungUp, [&tracker]() {
        say(QStringLiteral("korvane-sim: hung up: %1 is gone (Ctrl-C to quit)").arg(tracker.slavePath()));
    });

    if (parser.isSet(QStringLiteral("flood")))
        tracker.startFlood();

    // Signals only write a byte; the event loop then quits normally and the tracker's destructor
    // removes the link.
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        complain(QStringLiteral("pipe2 failed"));
        return 1;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&app]() {
        char c = 0;
        while (::read(signalPipe[0], &c, 1) > 0) {}
        app.quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &sa, nullptr);

    const int rc = app.exec();
    QObject::disconnect(&tracker, nullptr, nullptr, nullptr);
    const bool stillOurs = QFileInfo(entry).symLinkTarget() == tracker.slavePath();
    tracker.hangUp();
    tracker.unlink();
    say(stillOurs ? QStringLiteral("korvane-sim: stopped; removed %1").arg(entry)
                  : QStringLiteral("korvane-sim: stopped; %1 no longer points to us, left alone").arg(entry));
    return rc;
}
