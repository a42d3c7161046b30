// korvane-cli end to end: the built program, started as a script starts it, against the simulated
// tracker on a pseudo-terminal linked as COM4 in a private ports folder. What is checked is what a
// script and the tracker see: the exit status, the lines on standard error, the profile written,
// the commands on the wire and the tracker's state afterwards.
#include "bulk/profile.h"
#include "sim/pty_tracker.h"
#include "support/pty.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <type_traits>

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
    Gprs& g = p.params.gprs.emplace();
    g.apn = QStringLiteral("internet.fleet");
    g.apnUser = QStringLiteral("fleet");
    g.apnPassword = QStringLiteral("s3cret");
    g.serverIp = QStringLiteral("203.0.113.7");
    g.serverPort = QStringLiteral("5050");
    g.httpAddress = QStringLiteral("http://track.example");
    g.httpPort = QStringLiteral("8080");
    g.interval = QStringLiteral("060");
    g.intervalUnit = IntervalUnit::Min;
    Telephones& t = p.params.telephones.emplace();
    for (int i = 0; i < 5; ++i)
        t.number[i] = QStringLiteral("1380000000%1").arg(i + 1);
    Fences& f = p.params.fences.emplace();
    f.fence[0] = Fence{true, FenceSide::Out, QStringLiteral("22.51,114.05,22.60,114.12")};
    f.fence[1] = Fence{true, FenceSide::In, QStringLiteral("31.20,121.40,31.30,121.50")};
    f.fence[2] = Fence{false, FenceSide::In, QString()};
    f.fence[3] = Fence{false, FenceSide::Out, QString()};
    f.fence[4] = Fence{true, FenceSide::In, QStringLiteral("39.90,116.30,40.00,116.45")};
    OtherSettings& o = p.params.other.emplace();
    o.lowBattery = QStringLiteral("35%");
    o.overSpeed = QStringLiteral("120");
    o.localHours = QStringLiteral("-05");
    o.localMinutes = QStringLiteral("30");
    o.shakeStep = QStringLiteral("3");
    o.odometer = QStringLiteral("012345");
    o.displacement = QStringLiteral("015");
    o.password = QStringLiteral("654321");
    if (model == Model::Falcon || model == Model::Harrier)
        o.fuel = QStringLiteral("10,20,30,40");
    if (model == Model::Condor || model == Model::Falcon) {
        p.params.port = PortFunctions{Level::High, ArmFunction::Level, Level::High, std::nullopt};
        if (model == Model::Condor)
            p.params.port->lineFunction = LineFunction::CallOut;
    }
    if (model == Model::Harrier)
        p.params.special = SpecialFunctions{LockType::Elc, Level::High, InputTel::Listen, SosOutTel::Mute};
    return p;
}

// Every field present in `p`, as text, by key.
QMap<QString, QString> fieldsOf(const Params& p)
{
    QMap<QString, QString> out;
    forEachField(p, [&out](const QString& key, const auto& field) {
        using T = typename std::decay_t<decltype(field)>::value_type;
        if (!field)
            return;
        if constexpr (std::is_same_v<T, QString>)
            out.insert(key, *field);
        else if constexpr (std::is_same_v<T, bool>)
            out.insert(key, *field ? QStringLiteral("true") : QStringLiteral("false"));
        else
            out.insert(key, name(*field));
    });
    return out;
}

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PortsFolder> folder_;
    std::unique_ptr<sim::PtyTracker> sim_;
    std::unique_ptr<QTemporaryDir> files_;

    QString profileFile(const QByteArray& bytes, const QString& name = QStringLiteral("profile.json"))
    {
        const QString path = files_->filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            return {};
        return path;
    }
    QString profileFile(const Profile& p) { return profileFile(toJson(p)); }

    QProcess* start(const QStringList& args)
    {
        auto* p = new QProcess(this);
        p->start(QStringLiteral(KORVANE_CLI_PATH), args);
        return p;
    }
    // Waits with the event loop running, so that the simulator in this process answers.
    CliRun finish(QProcess* p, int timeoutMs = 30000)
    {
        CliRun r;
        if (p->state() != QProcess::NotRunning) {
            QSignalSpy finished(p, &QProcess::finished);
            if (!finished.wait(timeoutMs)) {
                p->kill();
                p->waitForFinished();
                r.err = QStringLiteral("(korvane-cli did not finish)");
            }
        }
        if (p->exitStatus() == QProcess::NormalExit && r.err.isEmpty())
            r.code = p->exitCode();
        r.out = p->readAllStandardOutput();
        r.err += QString::fromLocal8Bit(p->readAllStandardError());
        p->deleteLater();
        QTest::qWait(50);   // whatever the program wrote last reaches the simulator
        return r;
    }
    CliRun cli(const QStringList& args) { return finish(start(args)); }

    Params& state() { return sim_->tracker().params(); }
    // The simulator's state as the window would show it after a read.
    QMap<QString, QString> shownState() { return fieldsOf(windowForm(state())); }

    // Puts the profile's values into the simulator directly, each alarm switched on.
    void plant(const Profile& profile)
    {
        Params& s = state();
        const QMap<QString, QString> values = fieldsOf(profile.params);
        forEachField(s, [&values](const QString& key, auto& field) {
            using T = typename std::decay_t<decltype(field)>::value_type;
            if (!values.contains(key))
                return;
            const QString v = values.value(key);
            if constexpr (std::is_same_v<T, QString>)
                field = v;
            else if constexpr (std::is_same_v<T, bool>)
                field = v == QLatin1String("true");
            else
                for (int i = 0; !name(T(i)).isEmpty(); ++i)
                    if (name(T(i)) == v)
                        field = T(i);
        });
        s.gprs->intervalOn = s.other->overSpeedOn = s.other->displacementOn = s.other->lowBatteryOn = true;
    }

private slots:
    void init()
    {
        folder_ = std::make_unique<PortsFolder>();
        files_ = std::make_unique<QTemporaryDir>();
        sim_ = std::make_unique<sim::PtyTracker>();
        QVERIFY(sim_->start());
        QVERIFY(sim_->linkAs(4));
    }
    void cleanup()
    {
        sim_.reset();
        files_.reset();
        folder_.reset();
    }

    void readGivesTheTrackersState_data()
    {
        QTest::addColumn<Model>("model");
        QTest::addColumn<bool>("toFile");
        QTest::newRow("Petrel, standard output") << Model::Petrel << false;
        QTest::newRow("Condor, -o") << Model::Condor << true;
        QTest::newRow("Falcon, -o") << Model::Falcon << true;
        QTest::newRow("Harrier, standard output") << Model::Harrier << false;
    }
    void readGivesTheTrackersState()
    {
        QFETCH(Model, model);
        QFETCH(bool, toFile);
        Profile held = fullProfile(model);
        if (held.params.port)
            held.params.port->lineFunction = LineFunction::InputLow;
        plant(held);

        const QString out = files_->filePath(QStringLiteral("read.json"));
        QStringList args = {QStringLiteral("read"), QStringLiteral("COM4"), QStringLiteral("--model"), name(model)};
        if (toFile)
            args << QStringLiteral("-o") << out;
        const CliRun r = cli(args);
        QCOMPARE(r.code, 0);
        QCOMPARE(sim_->received(), QStringList{QStringLiteral("SETG")});
        QVERIFY2(r.err.contains(QLatin1String("[1/1] SETG... OK")), qPrintable(r.err));
        QByteArray bytes = r.out;
        if (toFile) {
            QVERIFY(r.out.isEmpty());
            QFile f(out);
            QVERIFY(f.open(QIODevice::ReadOnly));
            bytes = f.readAll();
        }
        const ProfileRead got = parseProfile(bytes);
        QVERIFY2(got.profile, qPrintable(got.error));
        QCOMPARE(got.profile->model, model);

        // What the tracker holds, minus what its dump never carries: the fuel table, the door level
        // of the port frame, and (for models other than Condor) the port lines.
        QMap<QString, QString> expected = fieldsOf(profileOf(model, state()).params);
        expected.remove(QStringLiteral("other.fuel"));
        expected.remove(QStringLiteral("port.doorLevel"));
        if (model == Model::Falcon)
            for (const char* key : {"port.armFunction", "port.armLevel", "port.lineFunction"})
                expected.remove(QLatin1String(key));
        QCOMPARE(fieldsOf(got.profile->params), expected);
        QCOMPARE(got.profile->params.gprs->apn, QStringLiteral("internet.fleet"));   // not the factory's
    }

    void writeLeavesTheTrackerHoldingTheProfile_data()
    {
        QTest::addColumn<Model>("model");
        QTest::addColumn<int>("commands");
        // GPRS 4, telephones 5, other settings 6 and the shake row, or 8 with the fuel and shake
        // steps; the port rows (Condor: and the two-step line function), the test frame; fences 5.
        QTest::newRow("Condor") << Model::Condor << 4 + 5 + 7 + 4 + 5;
        QTest::newRow("Falcon") << Model::Falcon << 4 + 5 + 8 + 2 + 5;
        QTest::newRow("Harrier") << Model::Harrier << 4 + 5 + 8 + 4 + 5;
        QTest::newRow("Petrel") << Model::Petrel << 4 + 5 + 7 + 5;
    }
    void writeLeavesTheTrackerHoldingTheProfile()
    {
        QFETCH(Model, model);
        QFETCH(int, commands);
        const Profile profile = fullProfile(model);
        const QString file = profileFile(profile);

        const CliRun w = cli({QStringLiteral("write"), QStringLiteral("COM4"), file});
        QVERIFY2(w.code == 0, qPrintable(w.err));
        QCOMPARE(sim_->received().size(), commands);
        QVERIFY2(w.err.contains(QStringLiteral("[%1/%1] SETI5,1,0,39.90,116.30,40.00,116.45... OK").arg(commands)),
                 qPrintable(w.err));

        const QMap<QString, QString> held = shownState();
        const QMap<QString, QString> written = fieldsOf(profile.params);
        for (auto it = written.begin(); it != written.end(); ++it)
            QCOMPARE(held.value(it.key(), QStringLiteral("(absent)")), it.value());

        sim_->clearReceived();
        const CliRun v = cli({QStringLiteral("verify"), QStringLiteral("COM4"), file});
        QVERIFY2(v.code == 0, qPrintable(v.err));
        QVERIFY(v.out.isEmpty());
        QCOMPARE(sim_->received(), QStringList{QStringLiteral("SETG")});
        // Fields the dump never carries are named, not passed off as checked.
        QCOMPARE(v.err.contains(QLatin1String("not verifiable: other.fuel")), profile.params.other->fuel.has_value());
    }

    void commandsGoOutInTheWindowsOrder()
    {
        // The Condor's write, command by command, as the tracker receives it.
        const CliRun w = cli({QStringLiteral("write"), QStringLiteral("COM4"), profileFile(fullProfile(Model::Condor))});
        QCOMPARE(w.code, 0);
        const QStringList expected = {
            "SETCinternet.fleet,203.0.113.7:5050", "SETOfleet,s3cret", "SETRhttp://track.example;8080",
            "SETM1,060M",                                                               // GPRS WRITE
            "SETA1,13800000001", "SETA2,13800000002", "SETA3,13800000003", "SETA4,13800000004",
            "SETA5,13800000005",                                                        // TEL WRITE
            "SETN1,35", "SETJ1,120", "SETL-05:30", "SETP1,015", "SETH654321", "SETQ012345",   // OTHER WRITE
            "SETS3",                                                                    // shake row
            "SETXD1B2F2", "SETS1,0,1", "SETS1,0,1", "SETXD2B0F1",                      // PORT-SET
            "SETI1,1,1,22.51,114.05,22.60,114.12", "SETI2,1,0,31.20,121.40,31.30,121.50", "SETI3,0,0#",
            "SETI4,0,1#", "SETI5,1,0,39.90,116.30,40.00,116.45",                        // GEO-FENCE
        };
        QCOMPARE(sim_->received(), expected);
        QCOMPARE(w.err.count(QLatin1String("... OK")), expected.size());
    }

    void verifyListsEachDifference()
    {
        const Profile profile = fullProfile(Model::Harrier);
        plant(profile);
        state().gprs->apn = QStringLiteral("other.apn");
        state().special->sosOutTel = SosOutTel::Spk;
        const CliRun v = cli({QStringLiteral("verify"), QStringLiteral("COM4"), profileFile(profile)});
        QCOMPARE(v.code, 1);
        QCOMPARE(QString::fromUtf8(v.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList({R"(gprs.apn: profile "internet.fleet", tracker "other.apn")",
                              R"(special.sosOutTel: profile Mute, tracker Spk)"}));
        QVERIFY2(v.err.contains(QLatin1String("2 field(s)")), qPrintable(v.err));
        QCOMPARE(sim_->received(), QStringList{QStringLiteral("SETG")});
    }

    void partialProfileWritesOnlyItsGroups_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("wire");
        QTest::newRow("telephones") << QByteArray(R"({"format": "korvane-profile", "version": 1, "model": "Petrel",
            "telephones": {"1": "112", "2": "", "3": "", "4": "", "5": "911"}})")
                                    << QStringList{"SETA1,112", "SETA2,D", "SETA3,D", "SETA4,D", "SETA5,911"};
        QTest::newRow("one fence") << QByteArray(R"({"format": "korvane-profile", "version": 1, "model": "Petrel",
            "fences": {"2": {"on": true, "side": "In", "coordinate": "1,2,3,4"}}})")
                                   << QStringList{"SETI2,1,0,1,2,3,4"};
        QTest::newRow("one special function") << QByteArray(R"({"format": "korvane-profile", "version": 1,
            "model": "Harrier", "special": {"inputTel": "Listen"}})")
                                              << QStringList{"SETU1"};
        QTest::newRow("other settings without fuel and password")
            << QByteArray(R"({"format": "korvane-profile", "version": 1, "model": "Harrier",
            "other": {"lowBattery": "00%", "overSpeed": "000", "localHours": "+01", "localMinutes": "00",
                      "shakeStep": "5", "displacement": "000", "odometer": "000100"}})")
            << QStringList{"SETN0,00", "SETJ0,000", "SETL+01:00", "SETS5", "SETP0,010", "SETQ000100"};
    }
    void partialProfileWritesOnlyItsGroups()
    {
        QFETCH(QByteArray, json);
        QFETCH(QStringList, wire);
        const Params before = state();
        const CliRun w = cli({QStringLiteral("write"), QStringLiteral("COM4"), profileFile(json)});
        QVERIFY2(w.code == 0, qPrintable(w.err));
        QCOMPARE(sim_->received(), wire);
        // The groups the profile leaves out are as they were.
        const ProfileRead p = parseProfile(json);
        QVERIFY(p.profile);
        if (!p.profile->params.gprs)
            QCOMPARE(state().gprs, before.gprs);
        if (!p.profile->params.other)
            QCOMPARE(state().other, before.other);
        if (!p.profile->params.telephones)
            QCOMPARE(state().telephones, before.telephones);
    }

    void aFailedCommandStopsTheWrite_data()
    {
        QTest::addColumn<QString>("failOn");        // the simulator answers ERROR! to this prefix
        QTest::addColumn<int>("silentAfter");        // ... or stops answering after this many commands
        QTest::addColumn<int>("sent");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("silent in the other settings") << QString() << 11 << 12
            << QStringList{"other settings (other, button Command1) failed at command 12 of 26, SETL-05:30",
                           "no answer within 2.1 s (Out-Time !)",
                           "already written: 11 of 26 commands: GPRS 4 of 4; telephone numbers 5 of 5; "
                           "other settings 2 of 8 (SETN1,35, SETJ1,120)"};
        QTest::newRow("refused in the GPRS chain") << QStringLiteral("SETR") << -1 << 3
            << QStringList{"GPRS (gprs, button Command2) failed at command 3 of 26, SETRhttp://track.example;8080",
                           R"(the tracker answered "ERROR!" (Setting Error!))",
                           "already written: 2 of 26 commands: GPRS 2 of 4 (SETCinternet.fleet,203.0.113.7:5050, "
                           "SETOfleet,s3cret)"};
        QTest::newRow("refused on the first command") << QStringLiteral("SETC") << -1 << 1
            << QStringList{"failed at command 1 of 26", "nothing was written"};
    }
    void aFailedCommandStopsTheWrite()
    {
        QFETCH(QString, failOn);
        QFETCH(int, silentAfter);
        QFETCH(int, sent);
        QFETCH(QStringList, told);
        sim_->faults().failOn = failOn;
        connect(sim_.get(), &sim::PtyTracker::commandReceived, this, [this, silentAfter] {
            if (silentAfter >= 0 && sim_->received().size() > silentAfter)
                sim_->faults().silent = true;
        });
        const CliRun w = cli({QStringLiteral("write"), QStringLiteral("COM4"), profileFile(fullProfile(Model::Harrier))});
        QCOMPARE(w.code, 2);
        QCOMPARE(sim_->received().size(), sent);
        for (const QString& line : told)
            QVERIFY2(w.err.contains(line), qPrintable(QStringLiteral("no \"%1\" in:\n%2").arg(line, w.err)));
    }

    void badProfileSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        const QByteArray head = R"({"format": "korvane-profile", "version": 1, "model": "Petrel", )";
        QTest::newRow("unknown key") << head + R"("gprs": {"apm": "x"}})" << "gprs.apm: unknown key";
        QTest::newRow("wrong type") << head + R"("telephones": {"1": 112}})" << "telephones.1: expected a text";
        QTest::newRow("speed out of range") << head + R"("other": {"overSpeed": "300"}})" << "other.overSpeed";
        QTest::newRow("line break") << head + R"("gprs": {"apn": "a\r\nSET10"}})" << "gprs.apn";
        QTest::newRow("group the model lacks") << head + R"("special": {"lockType": "Elc"}})" << "special: the Petrel";
        QTest::newRow("not JSON") << QByteArray("apn=internet\n") << "not JSON";
        QTest::newRow("empty") << QByteArray() << "the file is empty";
        QTest::newRow("chain group with a field left out")
            << head + R"("telephones": {"1": "112", "2": "", "3": "", "5": ""}})" << "telephones.4: missing";
        QTest::newRow("fence without its side") << head + R"("fences": {"3": {"on": false}}})" << "fences.3.side: missing";
    }
    void badProfileSendsNothing()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        const CliRun w = cli({QStringLiteral("write"), QStringLiteral("COM4"), profileFile(json)});
        QCOMPARE(w.code, 3);
        QVERIFY2(w.err.contains(message), qPrintable(w.err));
        QVERIFY2(w.err.contains(QLatin1String("nothing was sent")), qPrintable(w.err));
        QCOMPARE(sim_->received(), QStringList());
    }

    void secondProcessOnTheSameTrackerIsRefused()
    {
        QProcess* first = start({QStringLiteral("write"), QStringLiteral("COM4"), profileFile(fullProfile(Model::Petrel))});
        QVERIFY(QTest::qWaitFor([this] { return !sim_->received().isEmpty(); }, 10000));
        // The same device under its own name, and under the COM name.
        for (const QString& port : {sim_->slavePath(), QStringLiteral("COM4")}) {
            const CliRun second = cli({QStringLiteral("read"), port});
            QCOMPARE(second.code, 4);
            QVERIFY2(second.err.contains(QLatin1String("8005")) && second.err.contains(QLatin1String("busy")),
                     qPrintable(second.err));
        }
        const CliRun r = finish(first);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(!sim_->received().contains(QLatin1String("SETG")));
    }

    void resetOnlyWithYes()
    {
        state().gprs->apn = QStringLiteral("changed");
        const CliRun refused = cli({QStringLiteral("reset"), QStringLiteral("COM4")});
        QCOMPARE(refused.code, 3);
        QVERIFY2(refused.err.contains(QLatin1String("--yes")), qPrintable(refused.err));
        QCOMPARE(sim_->received(), QStringList());
        QCOMPARE(state().gprs->apn, QStringLiteral("changed"));

        const CliRun done = cli({QStringLiteral("reset"), QStringLiteral("COM4"), QStringLiteral("--yes")});
        QCOMPARE(done.code, 0);
        QCOMPARE(sim_->received(), QStringList{QStringLiteral("SET10")});
        QCOMPARE(state().gprs->apn, QStringLiteral("cmnet"));
    }

    void argumentsAndPorts_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList{} << 3 << "no command";
        QTest::newRow("unknown command") << QStringList{"erase", "COM4"} << 3 << "unknown command";
        QTest::newRow("write without file") << QStringList{"write", "COM4"} << 3 << "a PORT and a profile FILE";
        QTest::newRow("COM0") << QStringList{"read", "COM0"} << 3 << "is no port";
        QTest::newRow("unknown option") << QStringList{"read", "COM4", "--fast"} << 3 << "unknown option --fast";
        QTest::newRow("unknown model") << QStringList{"read", "COM4", "--model", "Eagle"} << 3 << "Eagle";
        QTest::newRow("COM number to nothing") << QStringList{"read", "COM6"} << 4 << "8002 Invalid PORT";
        QTest::newRow("path to nothing") << QStringList{"read", "/dev/no-such-tty"} << 4 << "8002 Invalid PORT";
        QTest::newRow("silent tracker") << QStringList{"read", "COM4"} << 2 << "no answer within 2.1 s";
    }
    void argumentsAndPorts()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        QVERIFY(folder_->link(6, files_->filePath(QStringLiteral("nothing"))));
        sim_->faults().silent = true;
        const CliRun r = cli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        if (code != 2)
            QCOMPARE(sim_->received(), QStringList());
    }

    void helpHasExamples()
    {
        const CliRun r = cli({QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("korvane-cli write"));
        QVERIFY(r.out.contains("Examples:"));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
