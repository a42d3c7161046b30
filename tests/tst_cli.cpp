// korvane-cli end to end: the built program, started as a script starts it, against the simulated
// tracker on a pseudo-terminal linked as COM4 in a private ports folder. What is checked is what a
// script and the tracker see: the exit status, the lines on standard error, the profile written,
// the commands on the wire and the tracker's state afterwards.
#include "bulk/profile.h"
#include "support/live.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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

    QProcess* start(const QStringList& args)
    {
        auto* p = new QProcess(this);
        p->start(QStringLiteral(KORVANE_CLI_PATH), args);
        return p;
    }
    // Waits with the event loop running, so that the simulator in this process answers.
    CliRun finish(QProcess* p)
    {
        const bool ended = QTest::qWaitFor([p] { return p->state() == QProcess::NotRunning; }, 30000);
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
        QCOMPARE(sim().received().size(), commands);
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
            << QStringList{"SETA1,112", "SETA2,D", "SETA3,D", "SETA4,D", "SETA5,911", "SETI2,1,0,1,2,3,4"};
        QTest::newRow("other settings without fuel and password, one special function")
            << withProfile("write", "Harrier",
                           R"("other": {"lowBattery": "00%", "overSpeed": "000", "localHours": "+01",
                                        "localMinutes": "00", "shakeStep": "4", "displacement": "000",
                                        "odometer": "000100"}, "special": {"inputTel": "Listen"})")
            << QStringList{"SETN0,00", "SETJ0,000", "SETL+01:00", "SETS4", "SETP0,010", "SETQ000100",
                           "SETU1"};
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
                           "no command was acknowledged; the tracker may have applied \"SETCinternet.fleet,"};
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
        QProcess* first = start({"write", "COM4", profileFile(fullProfile(Model::Petrel))});
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
            << R"(korvane-cli: unknown command "erase" (read, write, verify or reset))";
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
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
