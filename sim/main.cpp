// korvane-sim: a tracker on a pseudo-terminal, linked into the ports folder as a COM number, so
// that the window (or anything else that speaks the line protocol) can be tried without hardware.
#include "link/port_names.h"
#include "sim/fleet.h"
#include "sim/state.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <climits>
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

bool intOption(const QCommandLineParser& p, const QString& name, int lo, int* out, int hi = INT_MAX)
{
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < lo || v > hi) {
        complain(QStringLiteral("--%1 wants a whole number of at least %2%3, not \"%4\"")
                     .arg(name, QString::number(lo),
                          hi == INT_MAX ? QString() : QStringLiteral(" and at most %1").arg(hi), p.value(name)));
        return false;
    }
    *out = v;
    return true;
}

// Never take over a COM number that names a live device: the technician's USB adapter, or a
// simulator that is still running. A link to nothing is an earlier run's leftover.
bool mayTake(int com, bool force)
{
    const QString entry = ports::entryPath(com);
    const QByteArray entryBytes = QFile::encodeName(entry);
    struct stat st {};
    if (::lstat(entryBytes.constData(), &st) != 0)
        return true;
    const QFileInfo info(entry);
    if (!S_ISLNK(st.st_mode)) {
        complain(QStringLiteral("%1 exists and is not a link; COM%2 is left alone. Remove it by hand "
                                "or choose another --port.").arg(entry).arg(com));
        return false;
    }
    const QString target = info.symLinkTarget();
    if (info.exists()) {
        if (!force) {
            complain(QStringLiteral("COM%1 is taken: %2 points to %3, which exists. Choose another "
                                    "--port, or add --force to replace the link.")
                         .arg(com).arg(entry, target));
            return false;
        }
        say(QStringLiteral("korvane-sim: --force: replacing %1 (was -> %2)").arg(entry, target));
        if (::unlink(entryBytes.constData()) != 0) {
            complain(QStringLiteral("cannot remove %1").arg(entry));
            return false;
        }
    } else {
        say(QStringLiteral("korvane-sim: replacing dangling link %1 (was -> %2, gone)").arg(entry, target));
    }
    return true;
}

// "UP,DOWN" in milliseconds.
bool cycleOption(const QCommandLineParser& p, sim::Comings* c)
{
    const QString name = QStringLiteral("cycle");
    if (!p.isSet(name))
        return true;
    const QStringList parts = p.value(name).split(u',');
    bool okUp = false, okDown = false;
    const int up = parts.value(0).toInt(&okUp), down = parts.value(1).toInt(&okDown);
    if (parts.size() != 2 || !okUp || !okDown || up < 1 || down < 0) {
        complain(QStringLiteral("--cycle wants UP_MS,DOWN_MS (UP at least 1, DOWN at least 0), not \"%1\"")
                     .arg(p.value(name)));
        return false;
    }
    c->upMs = up;
    c->downMs = down;
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
        {QStringLiteral("port"), QStringLiteral("COM number to appear as (COM1..COM9); with --trackers N the first of N."),
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
        {QStringLiteral("trackers"), QStringLiteral("Run N trackers, each on its own line (1 to 64)."), QStringLiteral("N")},
        {QStringLiteral("link-dir"), QStringLiteral("Link the trackers as DIR/tracker1, DIR/tracker2 ... instead of COM numbers."),
         QStringLiteral("DIR")},
        {QStringLiteral("cycle"), QStringLiteral("Plugged in UP ms, then gone DOWN ms, again and again."),
         QStringLiteral("UP,DOWN")},
        {QStringLiteral("new-imei"), QStringLiteral("A tracker that comes back is another one, with the next IMEI.")},
        {QStringLiteral("imei"), QStringLiteral("The first tracker's IMEI; the others count up from it."), QStringLiteral("IMEI")},
        {QStringLiteral("swap-every"), QStringLiteral("Another tracker behind the same line every MS ms."),
         QStringLiteral("MS")},
        {QStringLiteral("mix"),
         QStringLiteral("Faults the trackers arrive with in turn: ok, silent, crlf, garbage, flood, chunk:N[:MS], "
                        "fail-on:PREFIX, hang-up-after:N, unplug:MS, joined by +; a comma between trackers."),
         QStringLiteral("LIST")},
        {QStringLiteral("total"), QStringLiteral("N trackers in all (swaps included), then no more."), QStringLiteral("N")},
        {QStringLiteral("quiet"), QStringLiteral("Print no line per command and reply.")},
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

    // The faults every tracker has, and what each arrives with on top of them.
    sim::Mishap base;
    sim::Faults& f = base.faults;
    f.silent = parser.isSet(QStringLiteral("silent"));
    f.crlf = parser.isSet(QStringLiteral("crlf"));
    f.garbage = parser.isSet(QStringLiteral("garbage"));
    f.failOn = parser.value(QStringLiteral("fail-on"));
    base.flood = parser.isSet(QStringLiteral("flood"));
    int count = 1;
    sim::Comings comings;
    if (!intOption(parser, QStringLiteral("chunk"), 1, &f.chunkSize)
        || !intOption(parser, QStringLiteral("chunk-delay"), 0, &f.chunkDelayMs)
        || !intOption(parser, QStringLiteral("hang-up-after"), 0, &f.hangUpAfter)
        || !intOption(parser, QStringLiteral("trackers"), 1, &count, 64)
        || !intOption(parser, QStringLiteral("swap-every"), 1, &comings.swapEveryMs)
        || !intOption(parser, QStringLiteral("total"), 1, &comings.total)
        || !cycleOption(parser, &comings))
        return 2;
    comings.newImei = parser.isSet(QStringLiteral("new-imei"));
    comings.imei = parser.value(QStringLiteral("imei"));
    for (const QString& list : parser.values(QStringLiteral("mix")))
        for (const QString& entry : list.split(u',')) {
            sim::Mishap m;
            if (const QString why = sim::parseMishap(entry, base, &m); !why.isEmpty()) {
                complain(QStringLiteral("--mix: %1").arg(why));
                return 2;
            }
            comings.mix << m;
        }
    const bool linkDir = parser.isSet(QStringLiteral("link-dir"));
    if (linkDir && parser.isSet(QStringLiteral("port"))) {
        complain(QStringLiteral("--port and --link-dir: one or the other"));
        return 2;
    }

    sim::Fleet fleet(count, comings, base);
    if (parser.isSet(QStringLiteral("state"))) {
        QFile file(parser.value(QStringLiteral("state")));
        if (!file.open(QIODevice::ReadOnly)) {
            complain(QStringLiteral("--state: %1: %2").arg(file.fileName(), file.errorString()));
            return 2;
        }
        if (const QString error = fleet.setState(file.read(1 << 20)); !error.isEmpty()) {
            complain(QStringLiteral("--state: %1: %2").arg(file.fileName(), error));
            return 2;
        }
    }
    if (const QString error = fleet.check(); !error.isEmpty()) {
        complain(error);
        return 2;
    }

    // One tracker appears as COM4 unless told otherwise; several as COM numbers only when asked.
    QString error;
    if (linkDir) {
        if (!fleet.linkInto(parser.value(QStringLiteral("link-dir")), &error)) {
            complain(error);
            return 1;
        }
    } else if (count == 1 || parser.isSet(QStringLiteral("port"))) {
        if (!fleet.linkAs(com, &error)) {
            complain(error);
            return 2;
        }
        for (int i = 0; i < count; ++i)
            if (!mayTake(com + i, parser.isSet(QStringLiteral("force"))))
                return 1;
    }
    if (!fleet.start(&error)) {
        complain(QStringLiteral("cannot start the trackers: %1").arg(error));
        return 1;
    }

    // For people: where the tracker lives. For programs: one "device N PATH" line per tracker (the
    // path to open), then "up", "down" and "swap" lines as trackers come and go.
    const auto who = [count](int i) { return count == 1 ? QString() : QStringLiteral("%1 ").arg(i + 1); };
    for (int i = 0; i < count; ++i) {
        const sim::PtyTracker& t = fleet.at(i);
        if (!t.isUp())
            continue;
        say(QStringLiteral("korvane-sim: %1tracker on %2").arg(count == 1 ? QString() : QStringLiteral("#%1 ").arg(i + 1), t.slavePath()));
        if (!t.linkPath().isEmpty())
            say(QStringLiteral("korvane-sim: %1 -> %2").arg(t.linkPath(), t.slavePath()));
    }
    for (int i = 0; i < count; ++i)
        say(QStringLiteral("device %1 %2").arg(i + 1).arg(fleet.path(i)));
    for (int i = 0; i < count; ++i)
        if (fleet.at(i).isUp())
            say(QStringLiteral("up %1 %2 %3 %4").arg(i + 1).arg(fleet.imeiOf(i, 0), fleet.at(i).slavePath(), fleet.mishap(i)));

    QStringList active;
    if (f.silent) active << QStringLiteral("silent");
    if (f.crlf) active << QStringLiteral("crlf");
    if (f.chunkSize > 0) active << QStringLiteral("chunks of %1 bytes every %2 ms").arg(f.chunkSize).arg(f.chunkDelayMs);
    if (!f.failOn.isEmpty()) active << QStringLiteral("ERROR! on %1").arg(visible(f.failOn));
    if (f.garbage) active << QStringLiteral("garbage");
    if (f.hangUpAfter >= 0) active << QStringLiteral("hang up after %1 commands").arg(f.hangUpAfter);
    if (base.flood) active << QStringLiteral("flood");
    if (!active.isEmpty())
        say(QStringLiteral("korvane-sim: faults: %1").arg(active.join(QStringLiteral(", "))));

    if (!parser.isSet(QStringLiteral("quiet"))) {
        QObject::connect(&fleet, &sim::Fleet::commandReceived, &fleet, [who](int i, const QString& line) {
            say(QStringLiteral("%1<- %2").arg(who(i), visible(line)));
        });
        QObject::connect(&fleet, &sim::Fleet::replied, &fleet, [who](int i, const QString& reply) {
            say(QStringLiteral("%1-> %2").arg(who(i), visible(reply)));
        });
    }
    QObject::connect(&fleet, &sim::Fleet::left, &fleet, [&fleet, &comings](int i, const QString& why) {
        say(QStringLiteral("down %1 %2").arg(i + 1).arg(why));
        if (comings.downMs < 0)
            say(QStringLiteral("korvane-sim: %1 is gone (Ctrl-C to quit)").arg(fleet.at(i).slavePath()));
    });
    QObject::connect(&fleet, &sim::Fleet::arrived, &fleet, [](int i, const QString& imei, const QString& device, const QString& mishap) {
        say(QStringLiteral("up %1 %2 %3 %4").arg(i + 1).arg(imei, device, mishap));
    });
    QObject::connect(&fleet, &sim::Fleet::swapped, &fleet, [](int i, const QString& imei, const QString& mishap) {
        say(QStringLiteral("swap %1 %2 %3").arg(i + 1).arg(imei, mishap));
    });

    // Signals only write a byte; the event loop then quits normally and the trackers' destructors
    // remove the links.
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
    QObject::disconnect(&fleet, nullptr, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        sim::PtyTracker& t = fleet.at(i);
        const QString link = t.linkPath();
        if (link.isEmpty() || !QFileInfo(link).isSymLink())
            continue;                 // none made, or gone with its tracker
        const bool stillOurs = QFileInfo(link).symLinkTarget() == t.slavePath();
        t.unlink();
        say(stillOurs ? QStringLiteral("korvane-sim: stopped; removed %1").arg(link)
                      : QStringLiteral("korvane-sim: stopped; %1 no longer points to us, left alone").arg(link));
    }
    return rc;
}
