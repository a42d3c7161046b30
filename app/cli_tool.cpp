#include "app/cli_tool.h"

#include "app/session.h"
#include "app/station_cli.h"
#include "bulk/profile.h"
#include "bulk/record.h"
#include "link/serial_port.h"
#include "link/terminal_text.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace cli {

namespace {

constexpr QLatin1String kProgram("korvane-cli");

struct Arguments {
    QString command;
    QString port;
    QString file;          // write, verify: the profile ("-": standard input); read: -o ("-": standard output)
    bool quiet = false;
    bool yes = false;
    bool verify = true;    // write: read the tracker back and compare
    bool json = false;     // info: one JSON object
    QString record;        // the record file; empty: none

    bulk::Model model = bulk::Model::Petrel;   // read: the window's model at start
    StationArguments station;
};

enum class Asked { Run, Help, Version };

// Parses the arguments; the reason when they are not usable.
QString parse(const QStringList& args, Arguments* a, Asked* asked)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE"));
    const QCommandLineOption model({QStringLiteral("m"), QStringLiteral("model")}, QString(), QStringLiteral("MODEL"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")}, QString());
    const QCommandLineOption yes({QStringLiteral("y"), QStringLiteral("yes")}, QString());
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption noVerify(QStringLiteral("no-verify"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption record(QStringLiteral("record"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption noRecord(QStringLiteral("no-record"), QString());
    const QCommandLineOption ports(QStringLiteral("ports"), QString(), QStringLiteral("PORTS"));
    const QCommandLineOption all(QStringLiteral("all"), QString());
    const QCommandLineOption values(QStringLiteral("values"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption valuesOptional(QStringLiteral("values-optional"), QString());
    const QCommandLineOption again(QStringLiteral("again"), QString());
    const QCommandLineOption report(QStringLiteral("report"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"));
    parser.addOptions({output, model, quiet, yes, help, version, noVerify, json, record, noRecord, ports, all, values,
                       valuesOptional, again, report, count});
    if (!parser.parse(QStringList{kProgram} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty())
            return parser.errorText();
        const QString& name = unknown.constFirst();
        return QStringLiteral("unknown option %1%2").arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
    }
    if (parser.isSet(help)) {
        *asked = Asked::Help;
        return {};
    }
    if (parser.isSet(version)) {
        *asked = Asked::Version;
        return {};
    }
    for (const QCommandLineOption& once : {output, model, record, ports, values, report, count})
        if (parser.values(once).size() > 1)
            return QStringLiteral("--%1 given twice").arg(once.names().constLast());
    a->quiet = parser.isSet(quiet);
    a->yes = parser.isSet(yes);
    a->verify = !parser.isSet(noVerify);
    a->json = parser.isSet(json);
    a->record = parser.isSet(noRecord) ? QString() : parser.isSet(record) ? parser.value(record) : bulk::recordPath();
    if (parser.isSet(record) && parser.value(record).isEmpty())
        return QStringLiteral("--record wants a file name");
    if (parser.isSet(record) && parser.isSet(noRecord))
        return QStringLiteral("--record and --no-record together");
    const bool haveOutput = parser.isSet(output), haveModel = parser.isSet(model);
    if (haveModel) {
        const auto m = bulk::modelNamed(parser.value(model));
        if (!m)
            return QStringLiteral("--model: \"%1\" is none of Petrel, Condor, Falcon, Harrier").arg(parser.value(model));
        a->model = *m;
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return QStringLiteral("no command given");
    a->command = positional.takeFirst();
    const QStringList commands = {QStringLiteral("read"), QStringLiteral("write"), QStringLiteral("verify"),
                                  QStringLiteral("reset"), QStringLiteral("info"), QStringLiteral("station")};
    if (!commands.contains(a->command))
        return QStringLiteral("unknown command \"%1\" (read, write, verify, reset, info or station)").arg(a->command);
    const bool station = a->command == QLatin1String("station");
    for (const QCommandLineOption& own : {ports, all, values, valuesOptional, again, report, count})
        if (parser.isSet(own) && !station)
            return QStringLiteral("--%1 belongs to station").arg(own.names().constLast());
    if (station) {
        if (positional.size() != 1)
            return positional.isEmpty() ? QStringLiteral("station wants a profile FILE")
                                        : QStringLiteral("unexpected argument \"%1\"").arg(positional.at(1));
        a->file = positional.at(0);
        if (a->file == QLatin1String("-"))
            return QStringLiteral("station reads its profile from a file, not from standard input");
        StationArguments& s = a->station;
        if (parser.isSet(ports) == parser.isSet(all))
            return QStringLiteral("station wants --ports PORT,PORT,... or --all (one of them)");
        s.all = parser.isSet(all);
        if (parser.isSet(ports)) {
            s.ports = parser.value(ports).split(QLatin1Char(','));
            for (const QString& p : std::as_const(s.ports)) {
                if (p.isEmpty())
                    return QStringLiteral("--ports: an empty name in \"%1\"").arg(parser.value(ports));
                if (s.ports.count(p) > 1)
                    return QStringLiteral("--ports: %1 given twice").arg(p);
                SerialPort probe;
                if (!probe.setName(p))
                    return QStringLiteral("--ports: \"%1\" is no port: COM1..COM9, or a device path such as /dev/ttyUSB0").arg(p);
            }
        }
        s.values = parser.value(values);
        if (parser.isSet(values) && s.values.isEmpty())
            return QStringLiteral("--values wants a file name");
        s.valuesOptional = parser.isSet(valuesOptional);
        if (s.valuesOptional && !parser.isSet(values))
            return QStringLiteral("--values-optional belongs with --values");
        s.again = parser.isSet(again);
        s.report = parser.value(report);
        if (parser.isSet(report) && s.report.isEmpty())
            return QStringLiteral("--report wants a file name (- for standard output)");
        if (parser.isSet(count)) {
            bool ok = false;
            s.count = parser.value(count).toInt(&ok);
            if (!ok || s.count < 1)
                return QStringLiteral("--count wants a whole number above 0, not \"%1\"").arg(parser.value(count));
        }
        if (haveOutput || haveModel || a->yes || parser.isSet(noVerify) || a->json)
            return QStringLiteral("station takes --ports or --all, --values, --values-optional, --again, --report, "
                                  "--count, --record or --no-record, -q");
        return {};
    }
    const bool needsFile = a->command == QLatin1String("write") || a->command == QLatin1String("verify");
    const int wanted = needsFile ? 2 : 1;
    if (positional.size() < wanted)
        return needsFile ? QStringLiteral("%1 wants a PORT and a profile FILE (- for standard input)").arg(a->command)
                         : QStringLiteral("%1 wants a PORT").arg(a->command);
    if (positional.size() > wanted)
        return QStringLiteral("unexpected argument \"%1\"").arg(positional.at(wanted));
    a->port = positional.at(0);
    if (needsFile)
        a->file = positional.at(1);
    if (haveOutput && a->command != QLatin1String("read"))
        return QStringLiteral("-o belongs to read");
    if (haveModel && a->command != QLatin1String("read"))
        return QStringLiteral("--model belongs to read (a profile names its own model)");
    if (a->yes && a->command != QLatin1String("reset"))
        return QStringLiteral("--yes belongs to reset");
    if (parser.isSet(noVerify) && a->command != QLatin1String("write"))
        return QStringLiteral("--no-verify belongs to write");
    if (a->json && a->command != QLatin1String("info"))
        return QStringLiteral("--json belongs to info");
    if ((parser.isSet(record) || parser.isSet(noRecord)) &&
        (a->command == QLatin1String("read") || a->command == QLatin1String("info")))
        return QStringLiteral("--record and --no-record belong to write, verify and reset (a %1 changes nothing)")
            .arg(a->command);
    if (a->command == QLatin1String("reset") && !a->yes)
        return QStringLiteral("reset returns every setting of the tracker to its initial value; "
                              "confirm with --yes (nothing was sent)");
    if (haveOutput) {
        a->file = parser.value(output);
        if (a->file.isEmpty())
            return QStringLiteral("-o wants a file name (- for standard output)");
    }
    return {};
}

QString openFailure(int failure, const QString& why)
{
    switch (failure) {
    case Port::NoSuchPort:
        return QStringLiteral("8002 Invalid PORT: no such device, not a serial port, or no hardware behind it");
    case Port::AlreadyOpen:
        return QStringLiteral("8005 PORT Is Opened: the port is busy, another program is using it");
    case Port::PermissionDenied:
        return QStringLiteral("8010 permission denied: the user is not in the dialout group");
    default:
        return QStringLiteral("%1 the port cannot be opened: %2")
            .arg(failure)
            .arg(why.isEmpty() ? QStringLiteral("the system gave no reason") : why);
    }
}

// JSON text safe for a terminal: QJsonDocument escapes C0 controls but writes DEL and the C1
// controls (U+0080..U+009F, such as the CSI U+009B) as they are. They only occur inside strings,
// where \u00XX stands for the same character.
QByteArray terminalSafeJson(const QByteArray& json)
{
    QByteArray out;
    out.reserve(json.size());
    for (qsizetype i = 0; i < json.size(); ++i) {
        const uchar b = uchar(json[i]);
        if (b == 0x7F) {
            out += "\\u007f";
        } else if (b == 0xC2 && i + 1 < json.size() && uchar(json[i + 1]) >= 0x80 && uchar(json[i + 1]) < 0xA0) {
            out += QByteArray("\\u00") + QByteArray::number(uchar(json[i + 1]), 16);
            ++i;
        } else {
            out += char(b);
        }
    }
    return out;
}

}  // namespace

QString helpText()
{
    return QStringLiteral(
        "Usage: korvane-cli read PORT [-o FILE] [-m MODEL] [-q]\n"
        "       korvane-cli write PORT FILE [--no-verify] [-q] [--record FILE | --no-record]\n"
        "       korvane-cli verify PORT FILE [-q] [--record FILE | --no-record]\n"
        "       korvane-cli reset PORT -y [-q] [--record FILE | --no-record]\n"
        "       korvane-cli info PORT [--json]\n"
        "       korvane-cli station FILE (--ports PORT,PORT,... | --all) [--values VALUES.csv\n"
        "                   [--values-optional]] [--again] [--report REPORT.csv] [--count N] [-q]\n"
        "                   [--record FILE | --no-record]\n"
        "\n"
        "Reads, writes or checks a GPS tracker's settings with the commands of the korvane window.\n"
        "\n"
        "Commands:\n"
        "  read PORT        read every parameter; the profile goes to FILE (-o) or standard output.\n"
        "                   A value the tracker holds that a write would refuse is kept and named\n"
        "                   as a warning\n"
        "  write PORT FILE  write every group the profile holds, as the window's WRITE and Apply\n"
        "                   buttons do; stops at the first refusal, wrong reply or time-out; then\n"
        "                   reads the tracker back and lists every field that differs\n"
        "  verify PORT FILE read the tracker back and list every field that differs from FILE\n"
        "  reset PORT -y    return the tracker to its initial settings (\"Initialize ALL\")\n"
        "  info PORT        the tracker's IMEI, hardware and software version (one read)\n"
        "  station FILE     watch the ports side by side until Ctrl-C: each tracker that appears is\n"
        "                   identified, given its own values, written, verified and recorded; one\n"
        "                   line per tracker (\"COM4  864000000000042  verified  2.7 s\"), then a summary\n"
        "\n"
        "PORT is COM1..COM9 (through the ports folder, as in the window) or a device path such as\n"
        "/dev/ttyUSB0. FILE - is standard input (write, verify) or standard output (read -o -).\n"
        "\n"
        "Options:\n"
        "  -o, --output FILE  read: write the profile to FILE\n"
        "  -m, --model MODEL  read: the model for the profile, Petrel (default), Condor, Falcon or\n"
        "                     Harrier; it decides which groups the profile holds\n"
        "  -q, --quiet        no progress lines, only errors and warnings\n"
        "  -y, --yes          reset: confirm\n"
        "  --no-verify        write: do not read the tracker back\n"
        "  --json             info: one JSON object instead of key: value lines\n"
        "  --record FILE      write, verify, reset, station: append the record of the action to FILE\n"
        "                     (default $XDG_STATE_HOME/korvane/record.jsonl)\n"
        "  --no-record        write, verify, reset, station: keep no record\n"
        "  --ports PORTS      station: the ports to watch, separated by commas\n"
        "  --all              station: every serial device the system lists\n"
        "  --values FILE      station: a CSV of each tracker's own values (imei,telephones.1,...),\n"
        "                     checked whole before anything is sent\n"
        "  --values-optional  station: write a tracker without a row with the profile alone\n"
        "  --again            station: write trackers already verified with the same settings\n"
        "  --report FILE      station: one CSV row per tracker at the end (- standard output)\n"
        "  --count N          station: end once N trackers were verified\n"
        "  -h, --help         this text\n"
        "  -v, --version      the version\n"
        "  --                 what follows is no option (a file named -x)\n"
        "Options may also be written --model=Condor.\n"
        "\n"
        "Exit status: 0 done (verify: no field differs), 1 verify or write's read-back found\n"
        "differences, 2 the tracker\n"
        "refused, answered wrongly, did not answer or did not stop sending, 3 a bad profile, bad\n"
        "arguments or an output that cannot be written (nothing was sent), 4 the port cannot be\n"
        "opened or another program is using it, 5 the tracker was read but the profile or the\n"
        "report could not be written out (an old file is kept), 130, 143 and 129 stopped by SIGINT,\n"
        "SIGTERM or SIGHUP (what was already written is listed). station: 0 when every tracker\n"
        "started was verified, 1 otherwise, 3 as above (a bad values file).\n"
        "\n"
        "Examples:\n"
        "  korvane-cli read COM4 --model Condor -o fleet.json\n"
        "  korvane-cli write /dev/ttyUSB0 fleet.json\n"
        "  korvane-cli verify /dev/ttyUSB0 fleet.json\n"
        "  for p in /dev/ttyUSB0 /dev/ttyUSB1; do korvane-cli write \"$p\" fleet.json --quiet & done; wait\n"
        "  korvane-cli station fleet.json --ports COM3,COM4 --values numbers.csv --report today.csv\n");
}

int run(const QStringList& arguments, const Streams& given)
{
    // Every line on standard error with its control characters escaped: names typed by the user
    // (a file called "\e]0;..."), and anything else, reach the terminal as text, never as ESC or
    // OSC sequences.
    Streams streams = given;
    streams.err = [err = given.err](const QString& line) { err(text::escapeControls(line)); };
    const auto error = [&streams](const QString& text) { streams.err(kProgram + QLatin1String(": ") + text); };

    Arguments a;
    Asked asked = Asked::Run;
    if (const QString problem = parse(arguments, &a, &asked); !problem.isEmpty()) {
        error(problem);
        streams.err(QStringLiteral("Try 'korvane-cli --help'."));
        return BadInput;
    }
    if (asked != Asked::Run) {
        const QByteArray text = asked == Asked::Help ? helpText().toUtf8()
                                                     : QByteArray("korvane-cli " KORVANE_VERSION "\n");
        return streams.out(text) ? Done : OutputFailed;
    }

    // The whole profile is checked before the port is even opened: a bad one sends nothing. Verify
    // compares what a tracker holds, which may be more than a write accepts.
    const bool toStdout = (a.command == QLatin1String("read") && (a.file.isEmpty() || a.file == QLatin1String("-"))) ||
                          a.command == QLatin1String("info");
    bulk::Profile profile;
    const bool station = a.command == QLatin1String("station");
    if (a.command == QLatin1String("write") || a.command == QLatin1String("verify") || station) {
        const auto check = a.command == QLatin1String("verify") ? bulk::Check::Structure : bulk::Check::Writable;
        bulk::ProfileRead loaded;
        if (a.file == QLatin1String("-")) {
            bool ok = false;
            const QByteArray bytes = streams.in ? streams.in(bulk::kProfileMaxBytes + 1, &ok) : QByteArray();
            loaded = ok ? bulk::parseProfile(bytes, check)
                        : bulk::ProfileRead{std::nullopt, QStringLiteral("standard input cannot be read")};
        } else {
            loaded = bulk::loadProfile(a.file, check);
        }
        if (!loaded.profile) {
            error(QStringLiteral("%1: %2 (nothing was sent)").arg(a.file, loaded.error));
            return BadInput;
        }
        profile = *loaded.profile;
        // A chain sends every field of its frame: one the profile leaves out would go out as an
        // empty box (a number deleted, an odometer set to zero).
        for (const bulk::Refusal& r : check == bulk::Check::Writable ? bulk::refusals(profile)
                                                                     : std::vector<bulk::Refusal>{}) {
            error(QStringLiteral("%1: %2 (nothing was sent)").arg(a.file, r.message()));
            return BadInput;
        }
    } else if (a.command == QLatin1String("read") && !toStdout) {
        if (const QString problem = bulk::writableFolder(a.file); !problem.isEmpty()) {
            error(QStringLiteral("%1: %2 (nothing was sent)").arg(a.file, problem));
            return BadInput;
        }
    }
    if (station)
        return runStation(a.file, profile, a.station, a.record, a.quiet, streams);
    if ((toStdout || a.command == QLatin1String("verify")) && streams.outClosed) {
        error(QStringLiteral("standard output is closed; the %1 would be lost (nothing was sent)")
                  .arg(toStdout ? QStringLiteral("profile") : QStringLiteral("report")));
        return BadInput;
    }

    SerialPort port;
    if (!port.setName(a.port)) {
        error(QStringLiteral("\"%1\" is no port: COM1..COM9, or a device path such as /dev/ttyUSB0").arg(a.port));
        return BadInput;
    }
    // From here a signal comes through the event loop: before the port is open it stops the run
    // with nothing sent; once a session runs, it stops the session after saying what was written.
    int signalled = 0;
    Session* session = nullptr;
    if (streams.onSignal)
        streams.onSignal([&signalled, &session](int signal) {
            signalled = signalled ? signalled : signal;
            if (session)
                session->interrupt(signal);
        });
    QCoreApplication::processEvents();   // a signal already given
    if (signalled) {
        error(QStringLiteral("interrupted before the port was opened (nothing was sent)"));
        return Interrupted + signalled;
    }
    if (const int failure = port.open()) {
        error(QStringLiteral("cannot open %1 (%2): %3")
                  .arg(a.port, port.deviceName(), openFailure(failure, port.openError())));
        return PortFailed;
    }
    port.discardOutput();
    port.discardInput();
    // The device itself, through the ports folder's link: the name a COM number stood for then.
    const QString device = port.openedDevice();

    Output output;
    output.progress = [&streams, &a](const QString& line) {
        if (!a.quiet)
            streams.err(line);
    };
    output.error = error;
    output.written = [&] { output.progress(QStringLiteral("%1 written to %2").arg(rows::visible(a.file), a.port)); };
    Session live(port, output);
    session = &live;

    // The record of this action (write, verify, reset), appended however it ends: the run's line,
    // with who wrote it and where.
    const bool recorded = !a.record.isEmpty() && a.command != QLatin1String("read") && a.command != QLatin1String("info");
    const auto finish = [&](int status) {
        if (!recorded)
            return status;
        bulk::RecordEntry entry = live.recordEntry();
        entry.program = kProgram;
        entry.port = a.port;
        entry.device = device;
        entry.adapterSerial = bulk::adapterSerial(entry.device);
        if (a.command == QLatin1String("write") || a.command == QLatin1String("verify"))
            entry.profileFile = a.file;
        if (const QString problem = bulk::appendRecord(a.record, entry); !problem.isEmpty())
            error(QStringLiteral("warning: ") + problem);
        return status;
    };
    // The differences the run found between the tracker and the profile: on standard output, one
    // line each.
    const auto compared = [&]() {
        const bulk::Comparison& c = live.result().comparison;
        for (const QString& key : c.unverifiable)
            output.progress(QStringLiteral("not verifiable: %1 (the tracker's parameter dump does not carry it)").arg(key));
        QByteArray report;
        for (const bulk::Difference& d : c.differ)
            report += QStringLiteral("%1: profile %2, tracker %3\n").arg(d.key, d.expected, d.actual).toUtf8();
        // Shown also with --quiet: the tracker does not hold these, and no write of the profile changes that.
        for (const bulk::Difference& d : c.notWritten)
            error(QStringLiteral("not written, the tracker holds otherwise: %1: profile %2, tracker %3 (%4)")
                      .arg(d.key, d.expected, d.actual, d.notWritten));
        if (!report.isEmpty() && !streams.out(report)) {
            error(QStringLiteral("the tracker was read, but the differences could not be written to standard output"));
            return finish(OutputFailed);
        }
        if (!c.differ.isEmpty()) {
            error(QStringLiteral("%1 field(s) of %2 differ on %3").arg(c.differ.size()).arg(rows::visible(a.file), a.port));
            return finish(Differs);
        }
        output.progress(QStringLiteral("%1 agrees with %2").arg(a.port, rows::visible(a.file)));
        return finish(Done);
    };

    if (a.command == QLatin1String("reset"))
        return finish(live.reset());

    if (a.command == QLatin1String("write")) {
        const int status = live.write(profile, a.verify);
        if ((status != Done && status != Differs) || !a.verify)
            return finish(status);
        return compared();
    }

    if (a.command == QLatin1String("verify")) {
        const int status = live.verify(profile);
        return status == Done || status == Differs ? compared() : finish(status);
    }

    const bulk::Model model = a.model;
    if (const int status = live.read(model); status != Done)
        return status;
    session = nullptr;
    const bulk::Params params = live.result().params;

    if (a.command == QLatin1String("info")) {
        const bulk::Identity id = params.identity.value_or(bulk::Identity{});
        QByteArray text;
        if (a.json) {
            QJsonObject o;
            o.insert(QLatin1String("port"), a.port);
            o.insert(QLatin1String("device"), device);
            o.insert(QLatin1String("imei"), id.imei.value_or(QString()));
            o.insert(QLatin1String("hardwareVersion"), id.hardwareVersion.value_or(QString()));
            o.insert(QLatin1String("softwareVersion"), id.softwareVersion.value_or(QString()));
            text = terminalSafeJson(QJsonDocument(o).toJson(QJsonDocument::Compact)) + '\n';
        } else {
            text = QStringLiteral("imei: %1\nhardwareVersion: %2\nsoftwareVersion: %3\n")
                       .arg(rows::visible(id.imei.value_or(QString()), 100),
                            rows::visible(id.hardwareVersion.value_or(QString()), 100),
                            rows::visible(id.softwareVersion.value_or(QString()), 100))
                       .toUtf8();
        }
        if (!streams.out(text)) {
            error(QStringLiteral("the tracker was read, but its identity could not be written to standard output"));
            return OutputFailed;
        }
        return Done;
    }

    if (a.command == QLatin1String("read")) {
        // The tracker's settings as they are, odd ones included: a backup that refused them
        // would lose the rest with them.
        const bulk::Profile read = bulk::profileOf(model, params);
        for (const bulk::Refusal& r : bulk::refusals(read))
            error(QStringLiteral("warning: ") + (r.missing ? r.message() : r.warning()));
        const QByteArray text = bulk::toJson(read);
        if (toStdout) {
            if (!streams.out(text)) {
                error(QStringLiteral("the tracker was read, but the profile could not be written to standard output"));
                return OutputFailed;
            }
            return Done;
        }
        if (const QString problem = bulk::writeWhole(a.file, text); !problem.isEmpty()) {
            error(QStringLiteral("the tracker was read, but %1 %2").arg(a.file, problem));
            return OutputFailed;
        }
        output.progress(QStringLiteral("profile of %1 (%2) saved to %3").arg(a.port, bulk::name(model), a.file));
        return Done;
    }
    return Done;
}

}  // namespace cli
