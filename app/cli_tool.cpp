#include "app/cli_tool.h"

#include "link/session.h"
#include "link/serial_port.h"

#include <QRegularExpression>

namespace cli {

namespace {

constexpr QLatin1String kProgram("korvane-cli");

struct Arguments {
    QString command;
    QString port;
    QString file;          // write, verify: the profile; read: -o
    bool quiet = false;
    bool yes = false;
    bulk::Model model = bulk::Model::Petrel;   // read: the window's model at start
};

// Parses the arguments; the reason when they are not usable.
QString parse(const QStringList& args, Arguments* a, bool* help)
{
    QStringList positional;
    bool haveOutput = false, haveModel = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            *help = true;
            return {};
        }
        if (arg == QLatin1String("--quiet") || arg == QLatin1String("-q")) {
            a->quiet = true;
        } else if (arg == QLatin1String("--yes")) {
            a->yes = true;
        } else if (arg == QLatin1String("-o") || arg == QLatin1String("--output") || arg == QLatin1String("--model")) {
            if (i + 1 >= args.size())
                return QStringLiteral("%1 wants a value").arg(arg);
            const QString value = args[++i];
            if (arg == QLatin1String("--model")) {
                const auto model = bulk::modelNamed(value);
                if (!model)
                    return QStringLiteral("--model: \"%1\" is none of Petrel, Condor, Falcon, Harrier").arg(value);
                a->model = *model;
                haveModel = true;
            } else {
                a->file = value;
                haveOutput = true;
            }
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return QStringLiteral("unknown option %1").arg(arg);
        } else {
            positional << arg;
        }
    }
    if (positional.isEmpty())
        return QStringLiteral("no command given");
    a->command = positional.takeFirst();
    const QStringList commands = {QStringLiteral("read"), QStringLiteral("write"), QStringLiteral("verify"),
                                  QStringLiteral("reset")};
    if (!commands.contains(a->command))
        return QStringLiteral("unknown command \"%1\" (read, write, verify or reset)").arg(a->command);
    const bool needsFile = a->command == QLatin1String("write") || a->command == QLatin1String("verify");
    const int wanted = needsFile ? 2 : 1;
    if (positional.size() < wanted)
        return needsFile ? QStringLiteral("%1 wants a PORT and a profile FILE").arg(a->command)
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
    if (a->command == QLatin1String("reset") && !a->yes)
        return QStringLiteral("reset returns every setting of the tracker to its initial value; "
                              "confirm with --yes (nothing was sent)");
    if (haveOutput && a->file.isEmpty())
        return QStringLiteral("-o wants a file name");
    return {};
}

// PORT as the window knows it (COM1..COM9 through the ports folder) or a device path.
bool choosePort(SerialPort& port, const QString& name)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-9])$"), QRegularExpression::CaseInsensitiveOption);
    if (const auto m = com.match(name); m.hasMatch()) {
        port.setNumber(m.captured(1).toInt());
        return true;
    }
    if (!name.contains(QLatin1Char('/')))
        return false;
    port.setDevicePath(name);
    return true;
}

QString openFailure(int failure)
{
    switch (failure) {
    case Port::NoSuchPort:
        return QStringLiteral("8002 Invalid PORT: no such device, not a serial port, or no hardware behind it");
    case Port::AlreadyOpen:
        return QStringLiteral("8005 PORT Is Opened: the port is busy, another program is using it");
    case Port::PermissionDenied:
        return QStringLiteral("8010 permission denied: the user is not in the dialout group");
    default:
        return QStringLiteral("%1 the port cannot be opened").arg(failure);
    }
}

}  // namespace

QString helpText()
{
    return QStringLiteral(
        "Usage: korvane-cli read PORT [-o FILE] [--model MODEL] [--quiet]\n"
        "       korvane-cli write PORT FILE [--quiet]\n"
        "       korvane-cli verify PORT FILE [--quiet]\n"
        "       korvane-cli reset PORT --yes [--quiet]\n"
        "\n"
        "Reads, writes or checks a GPS tracker's settings with the commands of the korvane window.\n"
        "\n"
        "Commands:\n"
        "  read PORT        read every parameter; the profile goes to FILE (-o) or standard output\n"
        "  write PORT FILE  write every group the profile holds, as the window's WRITE and Apply\n"
        "                   buttons do; stops at the first refusal, wrong reply or time-out\n"
        "  verify PORT FILE read the tracker back and list every field that differs from FILE\n"
        "  reset PORT --yes return the tracker to its initial settings (\"Initialize ALL\")\n"
        "\n"
        "PORT is COM1..COM9 (through the ports folder, as in the window) or a device path such as\n"
        "/dev/ttyUSB0.\n"
        "\n"
        "Options:\n"
        "  -o FILE          read: write the profile to FILE\n"
        "  --model MODEL    read: the model for the profile, Petrel (default), Condor, Falcon or\n"
        "                   Harrier; it decides which groups the profile holds\n"
        "  --quiet          no progress lines, only errors\n"
        "  --yes            reset: confirm\n"
        "  -h, --help       this text\n"
        "\n"
        "Exit status: 0 done (verify: no field differs), 1 verify found differences, 2 the tracker\n"
        "refused, answered wrongly or did not answer, 3 a bad profile or bad arguments (nothing was\n"
        "sent), 4 the port cannot be opened or another program is using it.\n"
        "\n"
        "Examples:\n"
        "  korvane-cli read COM4 --model Condor -o fleet.json\n"
        "  korvane-cli write /dev/ttyUSB0 fleet.json\n"
        "  korvane-cli verify /dev/ttyUSB0 fleet.json\n"
        "  for p in /dev/ttyUSB0 /dev/ttyUSB1; do korvane-cli write \"$p\" fleet.json --quiet & done; wait\n");
}

int run(const QStringList& arguments, const Streams& streams)
{
    const auto error = [&streams](const QString& text) { streams.err(kProgram + QLatin1String(": ") + text); };

    Arguments a;
    bool help = false;
    if (const QString problem = parse(arguments, &a, &help); !problem.isEmpty()) {
        error(problem);
        streams.err(QStringLiteral("Try 'korvane-cli --help'."));
        return BadInput;
    }
    if (help) {
        streams.out(helpText().toUtf8());
        return Done;
    }

    // The whole profile is checked before the port is even opened: a bad one sends nothing.
    bulk::Profile profile;
    if (a.command == QLatin1String("write") || a.command == QLatin1String("verify")) {
        const bulk::ProfileRead loaded = bulk::loadProfile(a.file);
        if (!loaded.profile) {
            error(QStringLiteral("%1: %2 (nothing was sent)").arg(a.file, loaded.error));
            return BadInput;
        }
        profile = *loaded.profile;
        if (a.command == QLatin1String("write")) {
            if (const QString problem = checkWritable(profile); !problem.isEmpty()) {
                error(QStringLiteral("%1: %2 (nothing was sent)").arg(a.file, problem));
                return BadInput;
            }
        }
    }

    SerialPort port;
    if (!choosePort(port, a.port)) {
        error(QStringLiteral("\"%1\" is no port: COM1..COM9, or a device path such as /dev/ttyUSB0").arg(a.port));
        return BadInput;
    }
    if (const int failure = port.open()) {
        error(QStringLiteral("cannot open %1 (%2): %3").arg(a.port, port.deviceName(), openFailure(failure)));
        return PortFailed;
    }
    port.discardOutput();
    port.discardInput();

    Output output;
    output.progress = [&streams, &a](const QString& line) {
        if (!a.quiet)
            streams.err(line);
    };
    output.error = error;
    Session session(port, output);

    if (a.command == QLatin1String("reset"))
        return session.reset();

    if (a.command == QLatin1String("write")) {
        const int status = session.write(profile);
        if (status == Done)
            output.progress(QStringLiteral("%1 written to %2").arg(a.file, a.port));
        return status;
    }

    const bulk::Model model = a.command == QLatin1String("read") ? a.model : profile.model;
    bulk::Params params;
    if (const int status = session.read(model, &params); status != Done)
        return status;

    if (a.command == QLatin1String("read")) {
        const bulk::Profile read = bulk::profileOf(model, params);
        if (const QString problem = bulk::validate(read); !problem.isEmpty()) {
            error(QStringLiteral("the tracker's settings make no valid profile: %1").arg(problem));
            return TrackerFailed;
        }
        if (a.file.isEmpty()) {
            streams.out(bulk::toJson(read));
            return Done;
        }
        if (const QString problem = bulk::saveProfile(a.file, read); !problem.isEmpty()) {
            error(QStringLiteral("%1: %2").arg(a.file, problem));
            return BadInput;
        }
        output.progress(QStringLiteral("profile of %1 (%2) saved to %3").arg(a.port, bulk::name(model), a.file));
        return Done;
    }

    // verify
    const Comparison c = compare(profile, params);
    for (const QString& key : c.unverifiable)
        output.progress(QStringLiteral("not verifiable: %1 (the tracker's parameter dump does not carry it)").arg(key));
    QByteArray report;
    for (const Difference& d : c.differ)
        report += QStringLiteral("%1: profile %2, tracker %3\n").arg(d.key, d.expected, d.actual).toUtf8();
    streams.out(report);
    if (!c.differ.isEmpty()) {
        error(QStringLiteral("%1 field(s) of %2 differ on %3").arg(c.differ.size()).arg(a.file, a.port));
        return Differs;
    }
    output.progress(QStringLiteral("%1 agrees with %2").arg(a.port, a.file));
    return Done;
}

}  // namespace cli
