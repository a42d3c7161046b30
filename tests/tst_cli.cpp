// korvane-cli end to end: the built program, started as a script starts it, against the simulated
// tracker on a pseudo-terminal linked as COM4 in a private ports folder. What is checked is what a
// script and the tracker see: the exit status, the lines on standard error, the profile written,
// the commands on the wire and the tracker's state afterwards.
#include "bulk/profile.h"
#include "sim/state.h"
#include "support/live.h"
#include "support/shard.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

using namespace bulk;

struct CliRun {
    int code = -1;
    QByteArray out;
    QString err;
};

// A profile holding every group and field the model's window writes, none of them factory values.
Profile fullProfile(Model model)
{
    Profile p;
    p.model = model;
    p.params.gprs = Gprs{.apn = "internet.fleet", .apnUser = "fleet", .apnPassword = "s3cret",
                         .serverIp = "203.0.113.7", .serverPort = "5050", .httpAddress = "http://track.example",
                         .httpPort = "8080", .interval = "060", .intervalUnit = IntervalUnit::Min};
    Telephones& t = p.params.telephones.emplace();
    for (int i = 0; i < 5; ++i)
        t.number[i] = QStringLiteral("1380000000%1").arg(i + 1);
    p.params.fences = Fences{{Fence{true, FenceSide::Out, "22.51,114.05,22.60,114.12"},
                              Fence{true, FenceSide::In, "31.20,121.40,31.30,121.50"}, Fence{false, FenceSide::In, ""},
                              Fence{false, FenceSide::Out, ""}, Fence{true, FenceSide::In, "39.90,116.30,40.00,116.45"}}};
    p.params.other = OtherSettings{.lowBattery = "35%", .overSpeed = "120", .localHours = "-05", .localMinutes = "30",
                                   .odometer = "012345", .displacement = "015", .password = "654321"};
    if (model == Model::Falcon || model == Model::Harrier) {   // only their windows offer these rows
        p.params.other->fuel = QStringLiteral("10,20,30,40");
        p.params.other->shakeStep = QStringLiteral("3");
    }
    if (model == Model::Condor || model == Model::Falcon)
        p.params.port = PortFunctions{Level::High, ArmFunction::Level, Level::High,
                                      model == Model::Condor ? std::optional(LineFunction::CallOut) : std::nullopt};
    if (model == Model::Harrier)
        p.params.special = SpecialFunctions{LockType::Elc, Level::High, InputTel::Listen, SosOutTel::Mute};
    return p;
}

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TrackerOnCom4> t_;
    QTemporaryDir files_;
    int profiles_ = 0;

    QString profileFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(files_.filePath(name));
        const bool written =
            f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
        return written ? f.fileName() : QString();
    }
    QString profileFile(const Profile& p) { return profileFile(QStringLiteral("profile.json"), toJson(p)); }
    // "write COM4 FILE" (or verify) for a profile of `model` with `groups`; each in a file of its own,
    // as the rows of a table are all made before the first runs.
    QStringList withProfile(const char* command, const char* model, const QByteArray& groups)
    {
        const QString name = QStringLiteral("profile%1.json").arg(++profiles_);
        const QByteArray head = "{\"format\": \"korvane-profile\", \"version\": 1, \"model\": \"";
        return {command, "COM4", profileFile(name, head + model + "\", " + groups + "}")};
    }

    // KORVANE_CLI runs the same cases against another build of the tool (an older one, say).
    QProcess* start(const QStringList& args, const QByteArray& input = {}, const QString& outputFile = {})
    {
        auto* p = new QProcess(this);
        // Records go to this test's own folder, never to the user's.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), files_.filePath(QStringLiteral("state")));
        p->setProcessEnvironment(env);
        if (!outputFile.isEmpty())
            p->setStandardOutputFile(outputFile);
        p->start(qEnvironmentVariable("KORVANE_CLI", QStringLiteral(KORVANE_CLI_PATH)), args);
        if (!input.isNull()) {
            p->write(input);
            p->closeWriteChannel();
        }
        return p;
    }
    // Waits with the event loop running, so that the simulator in this process answers.
    CliRun finish(QProcess* p, int waitMs = 30000)
    {
        const bool ended = QTest::qWaitFor([p] { return p->state() == QProcess::NotRunning; }, waitMs);
        if (!ended) {
            p->kill();
            p->waitForFinished();
        }
        const CliRun r{ended && p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1,
                       p->readAllStandardOutput(), QString::fromLocal8Bit(p->readAllStandardError())};
        p->deleteLater();
        QTest::qWait(50);   // whatever the program wrote last reaches the simulator
        return r;
    }
    CliRun cli(const QStringList& args) { return finish(start(args)); }

    sim::PtyTracker& sim() { return t_->sim; }
    Params& state() { return t_->sim.tracker().params(); }

private slots:
    void init()
    {
        t_ = std::make_unique<TrackerOnCom4>();
        QVERIFY(t_->up());
    }
    void cleanup() { t_.reset(); }

    // Per model: a full write, a verify that agrees, and a read that gives what the tracker holds.
    void writeVerifyRead_data()
    {
        QTest::addColumn<Model>("model");
        QTest::addColumn<int>("commands");
        QTest::addColumn<bool>("toFile");            // the read to a file (-o), else to standard output
        // GPRS 4, telephones 5, other settings 6, or 8 with the fuel and shake steps; the port rows
        // (Condor: and the two-step line function), the test frame; fences 5.
        QTest::newRow("Condor") << Model::Condor << 4 + 5 + 6 + 4 + 5 << true;
        QTest::newRow("Falcon") << Model::Falcon << 4 + 5 + 8 + 2 + 5 << true;
        QTest::newRow("Harrier") << Model::Harrier << 4 + 5 + 8 + 4 + 5 << false;
        QTest::newRow("Petrel") << Model::Petrel << 4 + 5 + 6 + 5 << false;
    }
    void writeVerifyRead()
    {
        QFETCH(Model, model);
        QFETCH(int, commands);
        QFETCH(bool, toFile);
        const Profile profile = fullProfile(model);
        const QString file = profileFile(profile);

        const CliRun w = cli({"write", "COM4", file});
        QVERIFY2(w.code == 0, qPrintable(w.err));
        QCOMPARE(sim().received().size(), commands + 1);   // and the read-back
        QCOMPARE(sim().received().constLast(), QString("SETG"));
        QVERIFY2(w.err.contains(QStringLiteral("[%1/%1] SETI5,1,0,39.90,116.30,40.00,116.45... OK").arg(commands)),
                 qPrintable(w.err));
        if (model == Model::Condor)   // the window's buttons in its order, each command as it sends it
            QCOMPARE(sim().received(), (QStringList{
                "SETCinternet.fleet,203.0.113.7:5050", "SETOfleet,s3cret", "SETRhttp://track.example;8080",
                "SETM1,060M",                                                                  // GPRS WRITE
                "SETA1,13800000001", "SETA2,13800000002", "SETA3,13800000003", "SETA4,13800000004",
                "SETA5,13800000005",                                                           // TEL WRITE
                "SETN1,35", "SETJ1,120", "SETL-05:30", "SETP1,015", "SETH654321", "SETQ012345", // OTHER WRITE
                "SETXD1B2F2", "SETS1,0,1", "SETS1,0,1", "SETXD2B0F1",                         // PORT-SET
                "SETI1,1,1,22.51,114.05,22.60,114.12", "SETI2,1,0,31.20,121.40,31.30,121.50", "SETI3,0,0#",
                "SETI4,0,1#", "SETI5,1,0,39.90,116.30,40.00,116.45",                           // GEO-FENCE
                "SETG",                                                                        // verify
            }));
        const QStringList held = describe(windowForm(state()));
        for (const QString& field : describe(profile.params))
            QVERIFY2(held.contains(field), qPrintable(field));

        const CliRun v = cli({"verify", "COM4", file});
        QVERIFY2(v.code == 0 && v.out.isEmpty(), qPrintable(v.err));
        // Fields the dump never carries are named, not passed off as checked.
        QCOMPARE(v.err.contains(QLatin1String("not verifiable: other.fuel")), profile.params.other->fuel.has_value());

        sim().clearReceived();
        const QString out = files_.filePath(QStringLiteral("read.json"));
        const CliRun r = cli(QStringList{"read", "COM4", "--model", name(model)}
                             + (toFile ? QStringList{"-o", out} : QStringList{}));
        QCOMPARE(r.code, 0);
        QCOMPARE(sim().received(), QStringList{"SETG"});
        QVERIFY2(r.err.contains(QLatin1String("[1/1] SETG... OK")), qPrintable(r.err));
        QFile f(out);
        QVERIFY(toFile ? r.out.isEmpty() && f.open(QIODevice::ReadOnly) : !r.out.isEmpty());
        const ProfileRead got = parseProfile(toFile ? f.readAll() : r.out);
        QVERIFY2(got.profile, qPrintable(got.error));
        QCOMPARE(got.profile->model, model);
        // What the tracker holds, minus what its dump never carries: the fuel table, the door level
        // of the port frame, and (for models other than Condor) the port lines.
        const QRegularExpression carried(model == Model::Falcon ? R"(^(?!other\.fuel=|port\.))"
                                                                : R"(^(?!other\.fuel=|port\.doorLevel=))");
        QCOMPARE(describe(got.profile->params), describe(profileOf(model, state()).params).filter(carried));
    }

    // Only the fields that differ are listed, each as the profile has it against the tracker.
    void verifyListsEachDifference()
    {
        const CliRun v = cli(withProfile("verify", "Harrier",
                                         R"("gprs": {"apn": "internet.fleet", "apnUser": ""},
                                            "special": {"lockType": "Gas", "sosOutTel": "Mute"})"));
        QCOMPARE(v.code, 1);
        QCOMPARE(QString::fromUtf8(v.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList({R"(gprs.apn: profile "internet.fleet", tracker "cmnet")",
                              R"(special.sosOutTel: profile Mute, tracker Spk)"}));
        QVERIFY2(v.err.contains(QLatin1String("2 field(s)")), qPrintable(v.err));
        QCOMPARE(sim().received(), QStringList{"SETG"});
    }

    // A write presses only the rows and chain steps the profile's fields call for.
    void onlyWhatIsAskedForGoesOnTheWire_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("wire");
        QTest::newRow("telephones, one fence")
            << withProfile("write", "Petrel",
                           R"("telephones": {"1": "112", "2": "", "3": "", "4": "", "5": "911"},
                              "fences": {"2": {"on": true, "side": "In", "coordinate": "1,2,3,4"}})")
            << QStringList{"SETA1,112", "SETA2,D", "SETA3,D", "SETA4,D", "SETA5,911", "SETI2,1,0,1,2,3,4", "SETG"};
        QTest::newRow("other settings without fuel and password, one special function")
            << withProfile("write", "Harrier",
                           R"("other": {"lowBattery": "00%", "overSpeed": "000", "localHours": "+01",
                                        "localMinutes": "00", "shakeStep": "4", "displacement": "000",
                                        "odometer": "000100"}, "special": {"inputTel": "Listen"})")
            << QStringList{"SETN0,00", "SETJ0,000", "SETL+01:00", "SETS4", "SETP0,010", "SETQ000100",
                           "SETU1", "SETG"};
        QTest::newRow("reset") << QStringList{"reset", "COM4", "--yes"} << QStringList{"SET10"};
    }
    void onlyWhatIsAskedForGoesOnTheWire()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, wire);
        const CliRun w = cli(args);
        QVERIFY2(w.code == 0, qPrintable(w.err));
        QCOMPARE(sim().received(), wire);
    }

    void aFailedCommandStopsTheWrite_data()
    {
        QTest::addColumn<QString>("failOn");        // the simulator answers ERROR! to this prefix
        QTest::addColumn<int>("silentAfter");        // ... or stops answering after this many commands
        QTest::addColumn<int>("sent");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("silent in the other settings") << QString() << 11 << 12
            << QStringList{"other settings (other, button Command1) failed at command 12 of 26, \"SETL-05:30\"",
                           "no answer within 2.1 s (Out-Time !)",
                           "already written: 11 of 26 commands: GPRS 4 of 4; telephone numbers 5 of 5; "
                           "other settings 2 of 8 (SETN1,35, SETJ1,120); sent without acknowledgement, perhaps "
                           "applied: \"SETL-05:30\""};
        QTest::newRow("refused in the GPRS chain") << QStringLiteral("SETR") << -1 << 3
            << QStringList{"GPRS (gprs, button Command2) failed at command 3 of 26, \"SETRhttp://track.example;8080\"",
                           R"(the tracker answered "ERROR!" (Setting Error!))",
                           "already written: 2 of 26 commands: GPRS 2 of 4 (SETCinternet.fleet,203.0.113.7:5050, "
                           "SETOfleet,s3cret)"};
        // The tracker answered, so it may have taken the command: "nothing was written" would be a guess.
        QTest::newRow("refused on the first command") << QStringLiteral("SETC") << -1 << 1
            << QStringList{"failed at command 1 of 26",
                           "nothing was written: the tracker refused the first command, \"SETCinternet.fleet,"};
    }
    void aFailedCommandStopsTheWrite()
    {
        QFETCH(QString, failOn);
        QFETCH(int, silentAfter);
        QFETCH(int, sent);
        QFETCH(QStringList, told);
        sim().faults().failOn = failOn;
        connect(&sim(), &sim::PtyTracker::commandReceived, this, [this, silentAfter] {
            if (silentAfter >= 0 && sim().received().size() > silentAfter)
                sim().faults().silent = true;
        });
        const CliRun w = cli({"write", "COM4", profileFile(fullProfile(Model::Harrier))});
        QCOMPARE(w.code, 2);
        QCOMPARE(sim().received().size(), sent);
        for (const QString& line : told)
            QVERIFY2(w.err.contains(line), qPrintable(QStringLiteral("no \"%1\" in:\n%2").arg(line, w.err)));
    }

    void secondProcessOnTheSameTrackerIsRefused()
    {
        QProcess* first = start({"write", "COM4", "--no-verify", profileFile(fullProfile(Model::Petrel))});
        QVERIFY(QTest::qWaitFor([this] { return !sim().received().isEmpty(); }, 10000));
        // The same device under its own name, and under the COM name.
        for (const QString& port : {sim().slavePath(), QStringLiteral("COM4")}) {
            const CliRun second = cli({"read", port});
            QCOMPARE(second.code, 4);
            QVERIFY2(second.err.contains(QLatin1String("8005")) && second.err.contains(QLatin1String("busy")),
                     qPrintable(second.err));
        }
        const CliRun r = finish(first);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(!sim().received().contains(QLatin1String("SETG")));
    }

    // Each refusal with its exit status and its line; the tracker hears nothing.
    void refusedWithItsStatus_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Examples:";
        QTest::newRow("no command") << QStringList{} << 3 << "korvane-cli: no command given";
        QTest::newRow("unknown command")
            << QStringList{"erase", "COM4"} << 3
            << R"(korvane-cli: unknown command "erase" (read, write, verify, reset, info or station))";
        QTest::newRow("station without ports")
            << QStringList{"station", "fleet.json"} << 3
            << "korvane-cli: station wants --ports PORT,PORT,... or --all (one of them)";
        QTest::newRow("station with both") << QStringList{"station", "fleet.json", "--ports", "COM4", "--all"} << 3
                                           << "korvane-cli: station wants --ports PORT,PORT,... or --all (one of them)";
        QTest::newRow("station's bad port")
            << QStringList{"station", "fleet.json", "--ports", "COM4,ttyUSB0"} << 3
            << R"(korvane-cli: --ports: "ttyUSB0" is no port: COM1..COM9, or a device path such as /dev/ttyUSB0)";
        QTest::newRow("station's port twice") << QStringList{"station", "fleet.json", "--ports", "COM4,COM5,COM4"} << 3
                                              << "korvane-cli: --ports: COM4 given twice";
        QTest::newRow("--values-optional alone")
            << QStringList{"station", "fleet.json", "--all", "--values-optional"} << 3
            << "korvane-cli: --values-optional belongs with --values";
        QTest::newRow("--count 0") << QStringList{"station", "fleet.json", "--all", "--count", "0"} << 3
                                   << R"(korvane-cli: --count wants a whole number above 0, not "0")";
        QTest::newRow("--values without station") << QStringList{"write", "COM4", "fleet.json", "--values", "v.csv"}
                                                  << 3 << "korvane-cli: --values belongs to station";
        QTest::newRow("write without file")
            << QStringList{"write", "COM4"} << 3 << "korvane-cli: write wants a PORT and a profile FILE";
        QTest::newRow("COM0")
            << QStringList{"read", "COM0"} << 3
            << R"(korvane-cli: "COM0" is no port: COM1..COM9, or a device path such as /dev/ttyUSB0)";
        QTest::newRow("unknown option")
            << QStringList{"read", "COM4", "--fast"} << 3 << "korvane-cli: unknown option --fast";
        QTest::newRow("unknown model")
            << QStringList{"read", "COM4", "--model", "Eagle"} << 3
            << R"(korvane-cli: --model: "Eagle" is none of Petrel, Condor, Falcon, Harrier)";
        QTest::newRow("reset without --yes")
            << QStringList{"reset", "COM4"} << 3
            << "korvane-cli: reset returns every setting of the tracker to its initial value; confirm with --yes "
               "(nothing was sent)";
        // A line break would let the profile's text send a command of its own (SET10 resets the tracker).
        QTest::newRow("line break")
            << withProfile("write", "Petrel", R"("gprs": {"apn": "a\r\nSET10"})") << 3
            << R"(gprs.apn: "a\r\nSET10" holds a line break (it would split the command) (nothing was sent))";
        QTest::newRow("chain group with a field left out")
            << withProfile("write", "Petrel", R"("telephones": {"1": "112", "2": "", "3": "", "5": ""})") << 3
            << "telephones.4: missing (the telephone numbers WRITE sends it; add it, or leave out the whole group) "
               "(nothing was sent)";
        QTest::newRow("fence without its side")
            << withProfile("write", "Petrel", R"("fences": {"3": {"on": false}})") << 3
            << "fences.3.side: missing";
        QTest::newRow("COM number to nothing") << QStringList{"read", "COM6"} << 4 << "8002 Invalid PORT";
        QTest::newRow("path to nothing")
            << QStringList{"read", "/dev/no-such-tty"} << 4 << "8002 Invalid PORT";
    }
    void refusedWithItsStatus()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        QVERIFY(t_->folder.link(6, files_.filePath(QStringLiteral("nothing"))));
        const CliRun r = cli(args);
        QCOMPARE(r.code, code);
        // Help goes to standard output, everything else to standard error.
        QVERIFY2((code ? r.err : QString::fromLocal8Bit(r.out)).contains(message), qPrintable(r.err));
        QCOMPARE(sim().received(), QStringList());
    }

    // A read keeps what the tracker holds, odd values included, and says what a write would
    // refuse; the write refuses those by key and sends nothing, while a read of an ordinary
    // tracker, pulse arm and all, writes back and verifies.
    void aReadKeepsWhatTheTrackerHolds_data()
    {
        QTest::addColumn<QByteArray>("given");         // a dump or a profile, as korvane-sim --state takes
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<QString>("refused");          // the write's refusal; empty: it writes and verifies
        // The read's example dump, with the input/output and arm pairs of a Condor.
        const auto dump = [](const QByteArray& speed, const QByteArray& password) {
            return "A1001;B1002;C;D;E;F;G;H1008;apn;;;10.0.0.1;9000;\r\n"
                   "000150;ord:,1E000000050000004D00030010100010\r\nHP:abc,80\r\n"
                   "IMEI:350000000000001,Ver:1.0,2.3,\r\n1:P1\r\n2:P2\r\n3:P3\r\n4:\r\n5:\r\n"
                   "E5\r\nE1\r\nE7\r\n00\r\n60\r\ned:" + speed + ";1x1xxx1xxx1,20%\r\nword:" + password + "\r\nA8\r\n";
        };
        QTest::newRow("the example dump: no password")
            << dump("8", "")
            << QStringList{"warning: other.password: the tracker holds \"\", which a write refuses (the window says "
                           "\"Password can't NULL\")"}
            << "other.password: \"\" is refused (the window says \"Password can't NULL\") (nothing was sent)";
        QTest::newRow("an over-speed above the window's range")
            << dump("255", "1234")
            << QStringList{"warning: other.overSpeed: the tracker holds \"255\", which a write refuses (000 to 250)"}
            << "other.overSpeed: \"255\" is out of range (000 to 250) (nothing was sent)";
        QTest::newRow("a pulse arm, negative")
            << QByteArray(R"({"format": "korvane-profile", "version": 1, "model": "Condor",
                              "port": {"armFunction": "Pulse", "armLevel": "Low"}})")
            << QStringList{} << QString();
    }
    void aReadKeepsWhatTheTrackerHolds()
    {
        QFETCH(QByteArray, given);
        QFETCH(QStringList, warnings);
        QFETCH(QString, refused);
        QCOMPARE(sim::loadState(sim().tracker(), given), QString());
        const QString file = files_.filePath(QStringLiteral("backup.json"));
        const CliRun r = cli({"read", "COM4", "--model=Condor", "-o", file});
        QCOMPARE(r.code, 0);
        for (const QString& w : warnings)
            QVERIFY2(r.err.contains("korvane-cli: " + w), qPrintable(r.err));
        QCOMPARE(r.err.count(QLatin1String("warning:")), warnings.size());
        const ProfileRead kept = loadProfile(file, Check::Structure);
        QVERIFY2(kept.profile, qPrintable(kept.error));
        // All the tracker holds but the door level, which its dump does not carry.
        QCOMPARE(describe(kept.profile->params),
                 describe(profileOf(Model::Condor, state()).params).filter(QRegularExpression("^(?!port.doorLevel=)")));

        sim().clearReceived();
        const CliRun w = cli({"write", "COM4", file});
        if (!refused.isEmpty()) {
            QCOMPARE(w.code, 3);
            QVERIFY2(w.err.contains(refused), qPrintable(w.err));
            QCOMPARE(sim().received(), QStringList());
            return;
        }
        QVERIFY2(w.code == 0, qPrintable(w.err));
        QVERIFY(sim().received().contains("SETS1,1,0"));
        QCOMPARE(cli({"verify", "COM4", file}).code, 0);
    }

    // A write's verdict is the one verify gives on the same tracker: a field no write of the
    // profile sends, which the tracker holds otherwise, is named with the reason by both, also
    // with --quiet, and is no difference.
    void writeAndVerifyAgreeOnWhatTheWriteCannotSend_data()
    {
        QTest::addColumn<QStringList>("write");
        QTest::addColumn<QStringList>("verify");
        QTest::addColumn<QString>("note");
        const QByteArray tel = R"("telephones": {"1": "5551", "2": "", "3": "", "4": "", "5": "", "6": "", "7": "5557", "8": ""})";
        QTest::newRow("telephone 7") << withProfile("write", "Petrel", tel) << withProfile("verify", "Petrel", tel)
                                     << "korvane-cli: not written, the tracker holds otherwise: telephones.7: profile "
                                        "\"5557\", tracker \"\" (slots 6 to 8 are disabled in the window: no button "
                                        "writes them)\n";
        const QByteArray fences = R"("fences": {"1": {"on": false, "side": "In", "coordinate": ""},
            "2": {"on": false, "side": "In", "coordinate": ""}, "3": {"on": false, "side": "In", "coordinate": ""},
            "4": {"on": false, "side": "In", "coordinate": ""}, "5": {"on": false, "side": "In", "coordinate": ""}})";
        QTest::newRow("an off fence's coordinate")
            << withProfile("write", "Petrel", fences) << withProfile("verify", "Petrel", fences)
            << "korvane-cli: not written, the tracker holds otherwise: fences.2.coordinate: profile \"\", tracker "
               "\"N1,E2,N3,E4\" (its command does not carry it in this state)\n";
        const QByteArray shake = R"("other": {"lowBattery": "20%", "overSpeed": "000", "localHours": "+08",
            "localMinutes": "00", "shakeStep": "2", "odometer": "000000", "displacement": "000"})";
        QTest::newRow("a shake step the Petrel has no button for")
            << withProfile("write", "Petrel", shake) << withProfile("verify", "Petrel", shake)
            << "korvane-cli: not written, the tracker holds otherwise: other.shakeStep: profile \"2\", tracker \"3\" "
               "(the Petrel's window has no button that writes it)\n";
    }
    void writeAndVerifyAgreeOnWhatTheWriteCannotSend()
    {
        QFETCH(QStringList, write);
        QFETCH(QStringList, verify);
        QFETCH(QString, note);
        state().fences->fence[1].coordinate = QStringLiteral("N1,E2,N3,E4");
        state().other->shakeStep = QStringLiteral("3");
        const CliRun w = cli(write + QStringList{"-q"});
        QCOMPARE(w.code, 0);
        QCOMPARE(w.out, QByteArray());
        QCOMPARE(w.err, note);
        const CliRun v = cli(verify + QStringList{"-q"});
        QCOMPARE(v.code, 0);
        QCOMPARE(v.out, QByteArray());
        QCOMPARE(v.err, note);
        const QStringList records = QString::fromUtf8([this] {
            QFile f(files_.filePath(QStringLiteral("state/korvane/record.jsonl")));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(records.size() >= 2);
        for (const QString& line : records.mid(records.size() - 2))   // the record is shared by every case
            QCOMPARE(QJsonDocument::fromJson(line.toUtf8()).object().value("outcome").toString(), QString("verified"));
    }

    // Output that is not written is no success: refused before anything is sent when it cannot be
    // written at all, status 5 when the tracker was read; an old file is kept.
    void outputThatIsNotWrittenIsNoSuccess_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("stdoutTo");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString missing = files_.filePath(QStringLiteral("no/such/folder/p.json"));
        QTest::newRow("a missing folder") << QStringList{"read", "COM4", "-o", missing} << QString() << 3
                                          << missing + ": cannot be written: the folder "
                                                       + QFileInfo(missing).absolutePath()
                                                       + " does not exist (nothing was sent)";
        QTest::newRow("a folder") << QStringList{"read", "COM4", "-o", files_.path()} << QString() << 3
                                  << "cannot be written: it is a folder (nothing was sent)";
        QTest::newRow("standard output on a full device")
            << QStringList{"read", "COM4"} << "/dev/full" << 5
            << "the tracker was read, but the profile could not be written to standard output";
        QTest::newRow("info on a full device")
            << QStringList{"info", "COM4"} << "/dev/full" << 5
            << "the tracker was read, but its identity could not be written to standard output";
        QTest::newRow("info --json on a full device")
            << QStringList{"info", "COM4", "--json"} << "/dev/full" << 5
            << "the tracker was read, but its identity could not be written to standard output";
        QTest::newRow("verify's report on a full device")
            << QStringList{"verify", "COM4", profileFile(QStringLiteral("differs.json"),
                                                         R"({"format": "korvane-profile", "version": 1,
                                                             "model": "Petrel", "gprs": {"apn": "x"}})")}
            << "/dev/full" << 5 << "the differences could not be written to standard output";
    }
    void outputThatIsNotWrittenIsNoSuccess()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, stdoutTo);
        QFETCH(int, code);
        QFETCH(QString, message);
        const CliRun r = finish(start(args, {}, stdoutTo));
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(sim().received(), code == 3 ? QStringList() : QStringList{"SETG"});
    }

    // A full file system: the old profile stays whole (a buffered save once renamed an empty file
    // over it and said "saved"). Needs a small tmpfs, so root.
    void aFullDiskKeepsTheOldProfile()
    {
        const QString mount = files_.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(mount));
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=8k", "tmpfs", mount}) != 0)
            QSKIP("mounting a small tmpfs needs root");
        const QString file = mount + QStringLiteral("/p.json");
        const QByteArray old = toJson(fullProfile(Model::Petrel));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        f.close();
        QFile filler(mount + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(512, 'x')) == 512 && filler.flush()) {}
        filler.close();

        const CliRun r = cli({"read", "COM4", "-o", file});
        QFile back(file);
        const bool kept = back.open(QIODevice::ReadOnly) && back.readAll() == old;
        back.close();   // an open file keeps the file system busy
        QCOMPARE(QProcess::execute("umount", {mount}), 0);
        QCOMPARE(r.code, 5);
        QVERIFY2(r.err.contains(QLatin1String("the old file is kept")), qPrintable(r.err));
        QVERIFY(kept);
    }

    // A tracker that never stops sending, fast or one byte every 50 ms: the tool gives up within
    // its bounds, names the command and shows what came, control characters escaped.
    void aReplyWithoutEndIsGivenUp_data()
    {
        QTest::addColumn<int>("bytesPerSecond");
        QTest::newRow("flood") << 200000;
        QTest::newRow("drip") << 20;
    }
    void aReplyWithoutEndIsGivenUp()
    {
        QFETCH(int, bytesPerSecond);
        QProcess* p = start({"read", "COM4"});
        QVERIFY(QTest::qWaitFor([this] { return !sim().received().isEmpty(); }, 10000));
        sim().startFlood(bytesPerSecond);
        const CliRun r = finish(p);
        sim().stopFlood();
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QLatin1String("reading the parameters (SETG): the tracker kept sending without end")),
                 qPrintable(r.err));
        QVERIFY2(!r.err.contains(QLatin1Char('\r')) && r.err.size() < 1000, qPrintable(r.err));
    }

    // SIGINT or SIGTERM in the middle of a write: what was written is said, the port and its lock
    // are released (the next run opens it), and the status tells the signal.
    void aSignalStopsTheWriteAndSaysWhatWasWritten_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("code");
        QTest::newRow("SIGINT") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
        QTest::newRow("SIGHUP, a dropped SSH session") << int(SIGHUP) << 129;
    }
    void aSignalStopsTheWriteAndSaysWhatWasWritten()
    {
        QFETCH(int, signal);
        QFETCH(int, code);
        const QString log = files_.filePath(QStringLiteral("signalled.jsonl"));
        QFile::remove(log);
        QProcess* p = start({"write", "COM4", profileFile(fullProfile(Model::Harrier)), "--record", log});
        QVERIFY(QTest::qWaitFor([this] { return sim().received().size() >= 3; }, 10000));
        ::kill(pid_t(p->processId()), signal);
        const CliRun w = finish(p);
        QCOMPARE(w.code, code);
        QVERIFY2(w.err.contains(QLatin1String(signal == SIGINT    ? "interrupted by SIGINT"
                                              : signal == SIGTERM ? "interrupted by SIGTERM"
                                                                  : "interrupted by ")),
                 qPrintable(w.err));
        QVERIFY2(w.err.contains(QStringLiteral("already written: %1 of 26").arg(sim().received().size() - 1)),
                 qPrintable(w.err));
        QVERIFY(sim().received().size() < 26);
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        QCOMPARE(o.value("outcome").toString(), QString("cancelled"));
        QCOMPARE(o.value("commandsSent").toInt(), sim().received().size());
        QCOMPARE(cli({"read", "COM4"}).code, 0);
    }

    // A signal while the program waits for its profile (a terminal, a FIFO nobody writes into)
    // ends it at once: nothing was sent, and the status tells the signal.
    void aSignalWhileWaitingForTheProfileEndsTheRun_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("signal");
        QTest::newRow("standard input left open, SIGTERM") << "-" << int(SIGTERM);
        QTest::newRow("a FIFO without a writer, SIGINT") << "fifo" << int(SIGINT);
    }
    void aSignalWhileWaitingForTheProfileEndsTheRun()
    {
        QFETCH(QString, file);
        QFETCH(int, signal);
        if (file != QLatin1String("-")) {
            file = files_.filePath(QStringLiteral("profile.fifo"));
            QFile::remove(file);
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        }
        QProcess* p = start({"write", "COM4", file});   // standard input stays open, with nothing in it
        QVERIFY(p->waitForStarted());
        QTest::qWait(500);
        ::kill(pid_t(p->processId()), signal);
        const CliRun w = finish(p, 5000);
        QCOMPARE(w.code, 128 + signal);
        QVERIFY2(w.err.contains(QLatin1String("interrupted before the port was opened (nothing was sent)")),
                 qPrintable(w.err));
        QCOMPARE(sim().received(), QStringList());
    }

    // A record that cannot be opened at once (a FIFO nobody reads) is the usual warning: the write
    // goes on and ends, instead of waiting for a reader with the port locked.
    void aRecordNobodyReadsNeverHoldsTheWrite()
    {
        const QString fifo = files_.filePath(QStringLiteral("record.fifo"));
        QFile::remove(fifo);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const CliRun w = finish(start({"write", "COM4", "--record", fifo, "-"},
                                      R"({"format": "korvane-profile", "version": 1, "model": "Petrel",
                                          "telephones": {"1": "112", "2": "", "3": "", "4": "", "5": ""}})"),
                                10000);
        QCOMPARE(w.code, 0);
        QVERIFY2(w.err.contains("korvane-cli: warning: the record " + fifo +
                                " cannot be written: no program is reading from it"),
                 qPrintable(w.err));
        QCOMPARE(sim().received().size(), 6);
        QCOMPARE(cli({"info", "COM4"}).code, 0);   // the port is free again
    }

    // read -o into what is no regular file writes into it: a FIFO's reader gets the profile, a
    // device node stays a device node, /dev/stdout is the pipe standard output is, and a shell's
    // process substitution gets it too.
    void aReadIntoANodeWritesIntoIt_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("a FIFO with a reader") << "fifo";
        QTest::newRow("a character device (as /dev/null)") << "device";
        QTest::newRow("/dev/stdout, a pipe") << "/dev/stdout";
        QTest::newRow("process substitution") << ">(cat)";
    }
    void aReadIntoANodeWritesIntoIt()
    {
        QFETCH(QString, target);
        const QString node = files_.filePath(QStringLiteral("node"));
        QFile::remove(node);
        const QByteArray native = QFile::encodeName(node);
        int reader = -1;
        if (target == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
            reader = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(reader >= 0);
        } else if (target == QLatin1String("device") && ::mknod(native.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            QSKIP("making a device node needs root");
        }
        CliRun r;
        if (target.startsWith(QLatin1Char('>'))) {   // through bash, as a user types it
            auto* p = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("CLI"), qEnvironmentVariable("KORVANE_CLI", QStringLiteral(KORVANE_CLI_PATH)));
            p->setProcessEnvironment(env);
            p->start("bash", {"-c", "\"$CLI\" read COM4 -q -o >(cat) --model Condor; s=$?; wait; exit $s"});
            r = finish(p);
        } else {
            r = cli({"read", "COM4", "-q", "--model", "Condor", "-o", reader >= 0 || target == "device" ? node : target});
        }
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QByteArray got = r.out;
        if (reader >= 0) {
            char buffer[8192];
            const ssize_t n = ::read(reader, buffer, sizeof buffer);
            ::close(reader);
            got = n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
        }
        struct stat st {};
        if (target == QLatin1String("fifo"))
            QVERIFY(::lstat(native.constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        if (target == QLatin1String("device")) {
            QVERIFY(::lstat(native.constData(), &st) == 0 && S_ISCHR(st.st_mode));
            QVERIFY(got.isEmpty());
            return;
        }
        const ProfileRead back = parseProfile(got, Check::Structure);
        QVERIFY2(back.profile, qPrintable(back.error + ": " + got.left(200)));
        QCOMPARE(back.profile->model, Model::Condor);
    }

    // What people on Linux expect of a command-line tool.
    void conventions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");     // standard input; null: none
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");         // on standard output, else on standard error
        QTest::addColumn<QStringList>("wire");
        const QByteArray numbers = R"({"format": "korvane-profile", "version": 1, "model": "Petrel",
                                       "telephones": {"1": "112", "2": "", "3": "", "4": "", "5": ""}})";
        QTest::newRow("--version") << QStringList{"--version"} << QByteArray() << 0 << "korvane-cli 2.1.0\n"
                                   << QStringList{};
        QTest::newRow("every short form in the help")
            << QStringList{"-h"} << QByteArray() << 0
            << "  -o, --output FILE  read: write the profile to FILE\n"
               "  -m, --model MODEL  read: the model for the profile" << QStringList{};
        QTest::newRow("--model=, -o - and a compacted -q")
            << QStringList{"read", "COM4", "--model=Harrier", "-qo", "-"} << QByteArray() << 0
            << "\"model\": \"Harrier\"" << QStringList{"SETG"};
        QTest::newRow("a profile on standard input") << QStringList{"write", "-q", "--", "COM4", "-"} << numbers << 0
                                                     << "" << QStringList{"SETA1,112", "SETA2,D", "SETA3,D",
                                                                           "SETA4,D", "SETA5,D", "SETG"};
        QTest::newRow("duplicate keys") << QStringList{"write", "COM4", "-"}
                                        << QByteArray(R"({"format": "korvane-profile", "version": 1,
                                                          "model": "Petrel", "gprs": {"apn": "a", "apn": "b"}})")
                                        << 3 << "korvane-cli: -: gprs.apn: given twice; keep one (nothing was sent)"
                                        << QStringList{};
        // A value a profile gives the tracker must come back as written; the rest of the group is
        // complete, so nothing but the value itself stands in the way.
        const QByteArray rest = R"("apnUser": "", "apnPassword": "", "serverIp": "", "serverPort": "",
                                   "httpAddress": "", "httpPort": "", "interval": "000")";
        QTest::newRow("a comma that would move the server")
            << withProfile("write", "Petrel", "\"gprs\": {\"apn\": \"cmnet,6.6.6.6:666\", " + rest + "}")
            << QByteArray() << 3
            << R"(gprs.apn: "cmnet,6.6.6.6:666" holds "," ("," separates the fields of its command or of the )"
               R"(tracker's dump) (nothing was sent))"
            << QStringList{};
        QTest::newRow("a huge APN, shortened in the message")
            << withProfile("write", "Petrel", "\"gprs\": {\"apn\": \"" + QByteArray(900000, 'a') + "\", " + rest + "}")
            << QByteArray()
            << 3 << "... (900000 characters)\" is too long (900000 characters; up to 100 characters)" << QStringList{};
    }
    void conventions()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(int, code);
        QFETCH(QString, said);
        QFETCH(QStringList, wire);
        const CliRun r = finish(start(args, input));
        QCOMPARE(r.code, code);
        const QString text = code == 0 && !said.isEmpty() ? QString::fromUtf8(r.out) : r.err;
        QVERIFY2(text.contains(said), qPrintable(text + r.err));
        QVERIFY2(r.err.size() < 2000, "a long value is shortened in messages");
        QCOMPARE(sim().received(), wire);
    }

    // What a tracker sends reaches the terminal escaped: no ESC, BEL or C1 byte of its own.
    void aTrackersControlCharactersReachNoTerminal()
    {
        sim().tracker().handle(QStringLiteral("SETC") + QChar(0x1b) + "[31mowned" + QChar(0x07) + QChar(0x9b) + "0m");

        const CliRun v = cli(withProfile("verify", "Petrel", R"("gprs": {"apn": "x"})"));
        QCOMPARE(v.code, 1);
        QCOMPARE(QString::fromUtf8(v.out), QString("gprs.apn: profile \"x\", tracker \"\\x1b[31mowned\\x07\\x9b0m\"\n"));
    }

    // A write reads the tracker back and verifies; a tracker that did not keep what it
    // acknowledged is caught (exit 1), --no-verify leaves the read out.
    void aWriteIsVerified_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("tamper");          // the tracker changes number 1 behind the write's back
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");         // on standard output
        QTest::addColumn<QStringList>("record");   // the record's outcome and differing keys
        QTest::newRow("kept") << QStringList{} << false << 0 << "" << QStringList{"verified"};
        QTest::newRow("not kept") << QStringList{} << true << 1 << "telephones.1: profile \"112\", tracker \"999\"\n"
                                  << QStringList{"differs", "telephones.1"};
        QTest::newRow("--no-verify") << QStringList{"--no-verify"} << true << 0 << "" << QStringList{"done"};
    }
    void aWriteIsVerified()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, tamper);
        QFETCH(int, code);
        QFETCH(QString, said);
        QFETCH(QStringList, record);
        if (tamper)
            connect(&sim(), &sim::PtyTracker::commandReceived, this, [this](const QString& line) {
                if (line == QLatin1String("SETI1,0,1#"))
                    state().telephones->number[0] = QStringLiteral("999");
            });
        const QString log = files_.filePath(QStringLiteral("verified.jsonl"));
        QFile::remove(log);
        const CliRun w = finish(start(QStringList{"write", "COM4", "-"} + options + QStringList{"--record", log},
                             R"({"format": "korvane-profile", "version": 1, "model": "Petrel",
                                 "telephones": {"1": "112", "2": "", "3": "", "4": "", "5": ""},
                                 "fences": {"1": {"on": false, "side": "Out"}}})"));
        QCOMPARE(w.code, code);
        QCOMPARE(QString::fromUtf8(w.out), said);
        QCOMPARE(sim().received().contains("SETG"), options.isEmpty());
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 2);   // one line, ended
        const QJsonObject o = QJsonDocument::fromJson(lines.first()).object();
        QCOMPARE(o.value("outcome").toString(), record.first());
        QCOMPARE(o.value("differs").toVariant().toStringList(), record.mid(1));
        QCOMPARE(o.value("commandsSent").toInt(), options.isEmpty() ? 7 : 6);
        QCOMPARE(o.value("imei").toString(), options.isEmpty() ? *state().identity->imei : QString());
    }

    // The tracker's identity for scripts: plain lines or one JSON object, from one read.
    void infoTellsTheIdentity()
    {
        state().identity = Identity{"864000000000042", "HW-7", "SW-3.1"};
        const CliRun plain = cli({"info", "COM4"});
        QCOMPARE(plain.code, 0);
        QCOMPARE(QString::fromUtf8(plain.out),
                 QString("imei: 864000000000042\nhardwareVersion: HW-7\nsoftwareVersion: SW-3.1\n"));
        const CliRun json = cli({"info", "COM4", "--json"});
        QCOMPARE(json.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(o.value("imei").toString(), QString("864000000000042"));
        QCOMPARE(o.value("softwareVersion").toString(), QString("SW-3.1"));
        QCOMPARE(o.value("port").toString(), QString("COM4"));
        QCOMPARE(sim().received(), (QStringList{"SETG", "SETG"}));
        // The device opened, as the record names it: not the ports folder's link.
        QCOMPARE(o.value("device").toString(), sim().slavePath());
    }

    // A tracker's DEL and C1 characters (U+009B is a terminal's CSI) reach no terminal raw, in
    // either form; the JSON still gives back the very characters.
    void infoEscapesWhatATerminalWouldObey()
    {
        const QString software = QStringLiteral("SW") + QChar(0x7f) + QChar(0x9b) + QStringLiteral("2J") + QChar(0x85);
        state().identity = Identity{"864000000000042", "HW-7", software};
        const CliRun plain = cli({"info", "COM4"});
        QCOMPARE(QString::fromUtf8(plain.out).split('\n').value(2), QString("softwareVersion: SW\\x7f\\x9b2J\\x85"));
        const CliRun json = cli({"info", "COM4", "--json"});
        QCOMPARE(json.code, 0);
        QVERIFY2(!json.out.contains('\x7f') && !json.out.contains("\xc2\x9b") && !json.out.contains("\xc2\x85"),
                 json.out.constData());
        QVERIFY2(json.out.contains(R"("softwareVersion":"SW\u007f\u009b2J\u0085")"), json.out.constData());
        QCOMPARE(QJsonDocument::fromJson(json.out).object().value("softwareVersion").toString(), software);
    }

    // Names the user typed are echoed with their control characters escaped: a file or port
    // named with an ESC or OSC sequence cannot retitle or recolour the terminal.
    void typedNamesReachNoTerminalRaw_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");
        const QString osc = QStringLiteral("\x1b]0;owned\x07");
        QTest::newRow("a profile file")
            << QStringList{"write", "COM4", files_.filePath(osc + ".json")} << 3
            << files_.filePath(QStringLiteral("\\x1b]0;owned\\x07.json")) + ": cannot be read";
        QTest::newRow("a port") << QStringList{"read", "/dev/tty\x1b[31mUSB9"} << 4
                                << "cannot open /dev/tty\\x1b[31mUSB9";
        QTest::newRow("a command") << QStringList{QChar(0x9b) + QStringLiteral("2Jerase"), "COM4"} << 3
                                   << "unknown command \"\\x9b2Jerase\"";
    }
    void typedNamesReachNoTerminalRaw()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, said);
        const CliRun r = cli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        for (const QChar c : r.err)
            QVERIFY2(c == u'\n' || (c >= u' ' && c != QChar(0x7f) && (c < QChar(0x80) || c >= QChar(0xa0))),
                     qPrintable(r.err.toUtf8().toPercentEncoding()));
    }

    // One record line per write, verify and reset, in the default place; none with --no-record;
    // a record that cannot be written is a warning that changes no exit status.
    void everyActionLeavesOneRecordLine()
    {
        const QString path = files_.filePath(QStringLiteral("state/korvane/record.jsonl"));
        QFile::remove(path);
        const Profile profile = fullProfile(Model::Condor);
        const QString file = profileFile(profile);
        QCOMPARE(cli({"write", "COM4", file}).code, 0);
        QCOMPARE(cli({"verify", "COM4", file}).code, 0);
        sim().faults().failOn = QStringLiteral("SET10");
        QCOMPARE(cli({"reset", "COM4", "--yes"}).code, 2);
        QCOMPARE(cli({"reset", "COM4", "--yes", "--no-record"}).code, 2);
        QCOMPARE(cli({"read", "COM4"}).code, 0);
        const CliRun blocked = cli({"verify", "COM4", file, "--record", files_.path()});
        QCOMPARE(blocked.code, 0);
        QVERIFY2(blocked.err.contains("korvane-cli: warning: the record " + files_.path() + " cannot be written"),
                 qPrintable(blocked.err));

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QList<QJsonObject> lines;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (!line.isEmpty())
                lines << QJsonDocument::fromJson(line).object();
        QCOMPARE(lines.size(), 3);
        const QString sha = QCryptographicHash::hash(toJson(profile), QCryptographicHash::Sha256).toHex();
        QCOMPARE(lines[0].value("action").toString(), QString("write"));
        QCOMPARE(lines[0].value("outcome").toString(), QString("verified"));
        QCOMPARE(lines[0].value("profileSha256").toString(), sha);
        QCOMPARE(lines[0].value("profileFile").toString(), file);
        QCOMPARE(lines[0].value("model").toString(), QString("Condor"));
        QCOMPARE(lines[0].value("device").toString(), sim().slavePath());
        QCOMPARE(lines[0].value("program").toString(), QString("korvane-cli"));
        QVERIFY(QDateTime::fromString(lines[0].value("time").toString(), Qt::ISODateWithMs).isValid());
        QCOMPARE(lines[1].value("action").toString(), QString("verify"));
        QCOMPARE(lines[1].value("imei").toString(), *state().identity->imei);
        QCOMPARE(lines[2].value("outcome").toString(), QString("failed"));
        QCOMPARE(lines[2].value("failedCommand").toString(), QString("SET10"));
        QCOMPARE(lines[2].value("failedAt").toInt(), 1);
    }
};

KORVANE_SHARDED_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
