// The provisioning station: ports watched side by side, each tracker found, given its own values,
// written, verified, recorded and reported. The first part drives the station on fake ports whose
// other end is a simulated tracker answering at once, with the watcher ticking every millisecond;
// the second runs the built korvane-cli station against simulated trackers on pseudo-terminals, as
// an installer runs it. Expected lines are written out as the tracker and the installer see them.
#include "bulk/profile.h"
#include "bulk/record.h"
#include "bulk/report.h"
#include "bulk/values.h"
#include "link/station.h"
#include "sim/tracker.h"
#include "support/live.h"
#include "support/profiles.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

using testprofiles::kChains;
bulk::Profile fleet()
{
    return testprofiles::checked(kChains);
}

// What a write of kChains sends: the identity read, the two chains, the read-back.
QStringList fleetLines(const QString& tel1 = QStringLiteral("+111"), const QString& port = QStringLiteral("7001"))
{
    return {"SETG", "SETCfleet.apn,10.1.2.3:" + port, "SETOu1,p1", "SETRh.example;80", "SETM1,045S",
            "SETA1," + tel1, "SETA2,222", "SETA3,D", "SETA4,444", "SETA5,555", "SETG"};
}

// A tracker that can be plugged in, pulled out and swapped behind a port.
struct Unit {
    sim::Tracker tracker;
    std::function<QString(const QString&)> answer;   // instead of the tracker's own answer
    explicit Unit(const QString& imei) { tracker.params().identity->imei = imei; }
};

// A fake port with a tracker (or none) at its other end, answering each line on the next turn of
// the loop. `absent`: the device is not there (open() says 8002).
class TrackerPort : public FakePort {
public:
    Unit* unit = nullptr;
    bool absent = false;
    int pullAfter = -1;   // lines written before the device goes away mid-write
    QStringList wire() const
    {
        QStringList lines;
        for (const QString& w : written)
            lines << w.chopped(2);
        return lines;
    }
    int open() override { return absent ? int(NoSuchPort) : FakePort::open(); }
    bool write(const QString& text) override
    {
        if (!FakePort::write(text))
            return false;
        if (pullAfter >= 0 && written.size() > pullAfter) {
            pullAfter = -1;
            absent = true;
            pull();
            return false;
        }
        if (Unit* u = unit) {
            const QString line = text.chopped(2);
            const QString reply = u->answer ? u->answer(line) : u->tracker.handle(line);
            if (!reply.isEmpty())
                QTimer::singleShot(0, this, [this, reply] {
                    if (isOpen())
                        deliver(reply);
                });
        }
        return true;
    }
};

// A station on fake ports COM1..COMn, fast: ticks of 1 ms, a missing device looked for every 5 ms;
// an idle port asked again after `askMs` (by default not within a test).
struct Bench {
    QTemporaryDir dir;
    std::vector<TrackerPort*> ports;
    std::unique_ptr<Station> station;
    QStringList lines;   // the status lines, as they came

    explicit Bench(int count, station::Setup setup = {}, int askMs = 60000)
    {
        if (setup.profile.params.gprs == std::nullopt)
            setup.profile = fleet();
        setup.tickMs = 1;
        setup.lookMs = 5;
        setup.askMs = askMs;
        if (setup.record == QLatin1String("default"))
            setup.record = dir.filePath(QStringLiteral("record.jsonl"));
        station = std::make_unique<Station>(setup, [this](const QString& name) -> std::unique_ptr<Port> {
            auto port = std::make_unique<TrackerPort>();
            port->setNumber(QStringView(name).mid(3).toInt());
            ports.push_back(port.get());
            return port;
        });
        QObject::connect(station.get(), &Station::trackerFinished, station.get(),
                         [this](const station::Tracker& t) { lines << Station::statusLine(t); });
        QStringList names;
        for (int i = 1; i <= count; ++i)
            names << QStringLiteral("COM%1").arg(i);
        station->watch(names);
    }
    // Runs until `n` trackers ended in all (or a bound passed).
    bool until(int n, int ms = 5000)
    {
        return QTest::qWaitFor([this, n] { return station->trackers().size() >= n; }, ms);
    }
    const station::Tracker& last() const { return station->trackers().constLast(); }
};

// The status line with its seconds as "N.N".
QString shape(QString line)
{
    static const QRegularExpression seconds(QStringLiteral("  [0-9]+\\.[0-9] s"));
    return line.replace(seconds, QStringLiteral("  N.N s"));
}

station::Setup withValues(const QByteArray& csv, bool optional = false)
{
    station::Setup s;
    s.profile = fleet();
    const bulk::ValuesRead read = bulk::parseValues(csv, s.profile);
    if (!read.values)
        qFatal("test values refused: %s", qPrintable(read.error));
    s.values = read.values;
    s.valuesOptional = optional;
    return s;
}

}  // namespace

class StationTest : public QObject {
    Q_OBJECT

    QTemporaryDir files_;

    QString file(const QString& name, const QByteArray& bytes)
    {
        QFile f(files_.filePath(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(f.fileName()));
        return f.fileName();
    }

    // korvane-cli station with `args`, its records in this test's folder; standard output is
    // gathered as it comes.
    struct Cli {
        QProcess process;
        QByteArray out;
        QStringList lines() const { return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
        bool waitLines(int n, int ms = 15000)
        {
            return QTest::qWaitFor([this, n] { return lines().size() >= n; }, ms);
        }
        int end(int signal = 0)
        {
            if (signal)
                ::kill(pid_t(process.processId()), signal);
            if (!QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, 15000)) {
                process.kill();
                process.waitForFinished();
                return -1;
            }
            out += process.readAllStandardOutput();
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        }
    };
    std::unique_ptr<Cli> start(const QStringList& args)
    {
        auto cli = std::make_unique<Cli>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), files_.filePath(QStringLiteral("state")));
        cli->process.setProcessEnvironment(env);
        Cli* c = cli.get();
        QObject::connect(&c->process, &QProcess::readyReadStandardOutput, &c->process,
                         [c] { c->out += c->process.readAllStandardOutput(); });
        c->process.start(QStringLiteral(KORVANE_CLI_PATH), QStringList{QStringLiteral("station")} + args);
        return cli;
    }

    // Simulated trackers on pseudo-terminals linked as COM4, COM5 ... with IMEIs 8640000000000NN.
    struct Trackers {
        PortsFolder folder;
        std::vector<std::unique_ptr<sim::PtyTracker>> sims;
        explicit Trackers(int n)
        {
            for (int i = 0; i < n; ++i) {
                auto t = std::make_unique<sim::PtyTracker>();
                t->tracker().params().identity->imei = QStringLiteral("8640000000000%1").arg(41 + i);
                if (!t->start() || !t->linkAs(4 + i))
                    qFatal("simulator not up");
                sims.push_back(std::move(t));
            }
        }
        sim::PtyTracker& operator[](int i) { return *sims[size_t(i)]; }
    };

private slots:
    // ---- the values file ----------------------------------------------------------------------

    // Refused whole, with one message naming the line and the column; a hostile file never crashes
    // the check.
    void aBadValuesFileIsOneMessageWithItsPlace_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown key") << QByteArray("imei,telephones.1,gprs.prot\n864000000000042,+49,7002\n")
                                     << "line 1, column 19: gprs.prot: unknown key (known here: apn, apnUser, apnPassword, "
                                        "serverIp, serverPort, httpAddress, httpPort, interval, intervalUnit)";
        QTest::newRow("not a key at all") << QByteArray("imei,phone\n1,2\n")
                                          << "line 1, column 6: phone: unknown key (a profile's keys are group.field: "
                                             "gprs.apn, telephones.1 ...)";
        QTest::newRow("bad value") << QByteArray("imei,gprs.interval\n864000000000042,045\n864000000000043,45\n")
                                   << "line 3, column 17: gprs.interval: \"45\" has the wrong form (three digits (\"030\"), "
                                      "\"000\" for off)";
        QTest::newRow("choice") << QByteArray("imei,gprs.intervalUnit\n864000000000042,Minutes\n")
                                << "line 2, column 17: gprs.intervalUnit: \"Minutes\" is none of \"Sec\", \"Min\", \"Hour\"";
        QTest::newRow("duplicate IMEI") << QByteArray("imei,telephones.1\n864000000000042,+1\n\n864000000000042,+2\n")
                                        << "line 4, column 1: imei: 864000000000042 is given twice (first on line 2); keep one";
        QTest::newRow("key twice") << QByteArray("imei,telephones.1,telephones.1\n")
                                   << "line 1, column 19: telephones.1: given twice; keep one";
        QTest::newRow("no imei column") << QByteArray("telephones.1,imei\n")
                                        << "line 1, column 1: the first column must be \"imei\", not \"telephones.1\"";
        QTest::newRow("IMEI not digits") << QByteArray("imei,telephones.1\n=cmd|x,+1\n")
                                         << "line 2, column 1: imei: \"=cmd|x\" is no IMEI (1 to 20 digits)";
        QTest::newRow("short row") << QByteArray("imei,telephones.1,telephones.2\r\n1,+1\r\n")
                                   << "line 2, column 3: 2 values where the header names 3 columns";
        QTest::newRow("quote inside") << QByteArray("imei,gprs.apn\n1,ab\"c\n")
                                      << "line 2, column 5: a quote inside a value that does not begin with one (put "
                                         "the whole value in quotes and double the quote)";
        QTest::newRow("open quote") << QByteArray("imei,gprs.apn\n1,\"abc\n")
                                    << "line 2, column 7: a line break inside quotes (a value is one line; is a quote "
                                       "missing?)";
        QTest::newRow("control") << QByteArray("imei,gprs.apn\n1,a\x1b[31m\n")
                                 << "line 2, column 4: a control character (\\x1b)";
        QTest::newRow("CR alone") << QByteArray("imei,gprs.apn\r1,a\n") << "line 1, column 14: a carriage return without a line feed";
        QTest::newRow("comma in a number, quoted")
            << QByteArray("imei,telephones.1\n1,\"12,34\"\n")
            << "line 2, column 3: telephones.1: \"12,34\" has the wrong form (up to 20 digits, \"+\", \"*\" or \"#\"; "
               "\"\" for none)";
        QTest::newRow("not UTF-8") << QByteArray("imei,gprs.apn\n1,\xff\xfe\n") << "not a values file: the file is not UTF-8 text";
        QTest::newRow("empty") << QByteArray("\xEF\xBB\xBF\r\n,,\r\n")
                               << "the file is empty (it wants a header line: imei,telephones.1,...)";
        QTest::newRow("huge") << QByteArray(5 << 20, 'x') << "too large for a values file (5242880 bytes; at most 4194304)";
        QTest::newRow("too many rows") << QByteArray("imei\n") + QByteArray("1\n").repeated(5001)
                                       << "5001 rows; a values file holds at most 5000";
    }
    void aBadValuesFileIsOneMessageWithItsPlace()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, error);
        const bulk::ValuesRead read = bulk::parseValues(csv, fleet());
        QVERIFY(!read.values);
        QCOMPARE(read.error, error);
    }

    // What a spreadsheet saves is read: a byte-order mark, CRLF, quoted cells with commas and
    // doubled quotes, empty rows; an empty cell keeps the profile's value.
    void aValuesFileAsASpreadsheetSavesIt()
    {
        const QByteArray csv = "\xEF\xBB\xBFimei,gprs.apn,telephones.1\r\n"
                               "864000000000042,\"my \"\"fleet\"\"\",+49\r\n"
                               ",,\r\n"
                               "864000000000043,,\r\n";
        const bulk::Profile base = fleet();
        const bulk::ValuesRead read = bulk::parseValues(csv, base);
        QVERIFY2(read.values, qPrintable(read.error));
        const bulk::Profile own = *read.values->profileFor(QStringLiteral("864000000000042"), base);
        QCOMPARE(own.params.gprs->apn, QStringLiteral("my \"fleet\""));
        QCOMPARE(own.params.telephones->number[0], QStringLiteral("+49"));
        QCOMPARE(own.params.telephones->number[1], QStringLiteral("222"));
        QCOMPARE(*read.values->profileFor(QStringLiteral("864000000000043"), base), base);
        QVERIFY(!read.values->profileFor(QStringLiteral("864000000000044"), base));
    }

    // ---- the report ---------------------------------------------------------------------------

    void theReportHasOneRowPerTracker()
    {
        const QDateTime t = QDateTime(QDate(2026, 12, 7), QTime(9, 14, 3), Qt::UTC);
        const QList<bulk::ReportRow> rows{
            {t, "COM4", "864000000000042", "verified", "", 2.74, ""},
            {t, "/dev/tty,odd", "86400\x1b[2J", "failed", "SETA2,222", 1.25, "ERROR!\r\n\"x\""},
            {t, "COM5", "", "failed", "SETG", 0.3, "=HYPERLINK(\"x\")"},
        };
        QCOMPARE(bulk::reportCsv(rows),
                 QByteArray("time,port,imei,outcome,failed command,seconds,reply\r\n"
                            "2026-12-07T09:14:03Z,COM4,864000000000042,verified,,2.7,\r\n"
                            "2026-12-07T09:14:03Z,\"/dev/tty,odd\",86400\\x1b[2J,failed,\"SETA2,222\",1.3,"
                            "\"ERROR!\\r\\n\"\"x\"\"\"\r\n"
                            "2026-12-07T09:14:03Z,COM5,,failed,SETG,0.3,\"'=HYPERLINK(\"\"x\"\")\"\r\n"));
    }

    // ---- the station on fake ports ------------------------------------------------------------

    // A row of the values file goes out in the tracker's own command; the others get the profile.
    void aTrackersOwnValuesGoOnTheWire()
    {
        Bench b(2, withValues("imei,telephones.1,gprs.serverPort\n864000000000042,+4915,7002\n", true));
        Unit own(QStringLiteral("864000000000042")), plain(QStringLiteral("864000000000043"));
        b.ports[0]->unit = &own;
        b.ports[1]->unit = &plain;
        b.station->start();
        QVERIFY(b.until(2));
        QCOMPARE(b.ports[0]->wire(), fleetLines(QStringLiteral("+4915"), QStringLiteral("7002")));
        QCOMPARE(b.ports[1]->wire(), fleetLines());
        QCOMPARE(own.tracker.params().telephones->number[0], QStringLiteral("+4915"));
        QStringList shaped;
        for (const QString& l : std::as_const(b.lines))
            shaped << shape(l);
        shaped.sort();
        QCOMPARE(shaped, (QStringList{"COM1  864000000000042  verified  N.N s", "COM2  864000000000043  verified  N.N s"}));
        QCOMPARE(b.station->exitStatus(), 0);
    }

    // A tracker whose IMEI has no row is only read; with values optional it gets the profile.
    void aTrackerNotInTheValuesIsLeftAlone()
    {
        const QByteArray csv = "imei,telephones.1\n864000000000099,+4915\n";
        for (const bool optional : {false, true}) {
            Bench b(1, withValues(csv, optional), 30);
            Unit u(QStringLiteral("864000000000042"));
            b.ports[0]->unit = &u;
            b.station->start();
            QVERIFY(b.until(1));
            if (optional) {
                QCOMPARE(b.ports[0]->wire(), fleetLines());
                QCOMPARE(shape(b.lines.value(0)), QStringLiteral("COM1  864000000000042  verified  N.N s"));
            } else {
                QTest::qWait(100);   // asked again meanwhile: still no write
                QVERIFY(b.ports[0]->wire().count(QStringLiteral("SETG")) > 1);
                QCOMPARE(b.ports[0]->wire().filter(QRegularExpression(QStringLiteral("^SET[^G]"))), QStringList());
                QCOMPARE(b.lines.size(), 1);
                QCOMPARE(shape(b.lines.value(0)), QStringLiteral("COM1  864000000000042  not in values  N.N s"));
                QCOMPARE(b.station->counts().notInValues, 1);
            }
        }
    }

    // Pulled out mid-write: one failed line naming what was written; the next tracker on that port
    // (the device back) starts from the first command.
    void aTrackerPulledMidWriteAndTheNextOne()
    {
        station::Setup setup;
        setup.record = QStringLiteral("default");
        Bench b(1, setup);
        Unit first(QStringLiteral("864000000000042")), second(QStringLiteral("864000000000043"));
        TrackerPort& port = *b.ports[0];
        port.unit = &first;
        port.pullAfter = 6;   // SETG, the GPRS chain, SETA1 went out: gone while writing SETA2
        b.station->start();
        QVERIFY(b.until(1));
        QCOMPARE(port.wire(), fleetLines().mid(0, 7));
        QCOMPARE(shape(b.lines.value(0)),
                 QStringLiteral("COM1  864000000000042  failed  N.N s  \"SETA2,222\": the port went away (Port Lost! "
                                "Check The Cable And Open It Again); already written: 5 of 9 commands: GPRS 4 of 4; "
                                "telephone numbers 1 of 5 (SETA1,+111); sent without acknowledgement, perhaps applied: "
                                "\"SETA2,222\""));
        QTest::qWait(50);
        QCOMPARE(b.station->state(QStringLiteral("COM1")), station::PortState::Absent);
        port.written.clear();
        port.unit = &second;
        port.absent = false;
        QVERIFY(b.until(2));
        QCOMPARE(port.wire(), fleetLines());
        QCOMPARE(shape(b.lines.value(1)), QStringLiteral("COM1  864000000000043  verified  N.N s"));
        QCOMPARE(b.station->exitStatus(), 1);
        // One record line each.
        QFile record(b.dir.filePath(QStringLiteral("record.jsonl")));
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = record.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].contains("\"imei\":\"864000000000042\"") && lines[0].contains("\"outcome\":\"failed\""));
        QVERIFY(lines[1].contains("\"imei\":\"864000000000043\"") && lines[1].contains("\"outcome\":\"verified\""));
    }

    // The same tracker taken away and plugged in again is not written twice; with `again` it is.
    // A tracker verified in the record is not written either.
    void theSameTrackerAgainIsSkipped()
    {
        for (const bool again : {false, true}) {
            station::Setup setup;
            setup.again = again;
            setup.record = QStringLiteral("default");
            Bench b(1, setup, 30);
            Unit u(QStringLiteral("864000000000042"));
            TrackerPort& port = *b.ports[0];
            port.unit = &u;
            b.station->start();
            QVERIFY(b.until(1));
            QTest::qWait(80);   // still plugged in: asked, and left alone
            QCOMPARE(b.station->trackers().size(), 1);
            port.unit = nullptr;   // taken away behind the adapter: no answer
            QVERIFY(QTest::qWaitFor([&] { return b.station->state(QStringLiteral("COM1")) == station::PortState::Idle; }));
            port.written.clear();
            port.unit = &u;
            QVERIFY(b.until(2));
            if (again) {
                QCOMPARE(port.wire().mid(0, 11), fleetLines());
                QCOMPARE(shape(b.lines.value(1)), QStringLiteral("COM1  864000000000042  verified  N.N s"));
            } else {
                QCOMPARE(port.wire().filter(QRegularExpression(QStringLiteral("^SET[^G]"))), QStringList());
                QCOMPARE(shape(b.lines.value(1)),
                         QStringLiteral("COM1  864000000000042  skipped  N.N s  already verified with these settings"));
                QCOMPARE(b.station->exitStatus(), 0);
            }
        }
        // Verified by an earlier session, as its record says.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("record.jsonl"));
        bulk::RecordEntry done;
        done.action = QStringLiteral("write");
        done.outcome = QStringLiteral("verified");
        done.identity.imei = QStringLiteral("864000000000042");
        done.profile = fleet();
        QCOMPARE(bulk::appendRecord(path, done), QString());
        station::Setup setup;
        setup.record = path;
        Bench b(1, setup);
        Unit u(QStringLiteral("864000000000042"));
        b.ports[0]->unit = &u;
        b.station->start();
        QVERIFY(b.until(1));
        QCOMPARE(b.last().outcome, QStringLiteral("skipped"));
        QCOMPARE(b.ports[0]->wire(), QStringList{"SETG"});
    }

    // A port that fails never stops the others: a refusal on one, a silent tracker on another,
    // garbage for a dump on a third (one failed line, not one per ask); the healthy ones are verified.
    void oneFailingPortAmongHealthyOnes()
    {
        Bench b(5, {}, 30);
        Unit ok1(QStringLiteral("864000000000041")), refusing(QStringLiteral("864000000000042")),
            silent(QStringLiteral("864000000000043")), ok2(QStringLiteral("864000000000044")),
            garbage(QStringLiteral("864000000000045"));
        garbage.answer = [](const QString&) { return QStringLiteral("\xff\x1b[2J,\"x\""); };
        b.ports[4]->unit = &garbage;
        refusing.answer = [&refusing](const QString& line) {
            return line.startsWith(QLatin1String("SETA2")) ? QStringLiteral("ERROR!") : refusing.tracker.handle(line);
        };
        silent.answer = [](const QString&) { return QString(); };
        b.ports[0]->unit = &ok1;
        b.ports[1]->unit = &refusing;
        b.ports[2]->unit = &silent;
        b.ports[3]->unit = &ok2;
        b.station->start();
        QVERIFY(b.until(4));
        QTest::qWait(150);   // asked again meanwhile: the same trackers say nothing new
        QCOMPARE(b.station->trackers().size(), 4);   // nothing answers on COM3: no tracker there
        QVERIFY(b.ports[4]->wire().size() > 1);
        QCOMPARE(b.station->state(QStringLiteral("COM3")), station::PortState::Idle);
        QStringList shaped;
        for (const QString& l : std::as_const(b.lines))
            shaped << shape(l);
        shaped.sort();
        QCOMPARE(shaped, (QStringList{
                             "COM1  864000000000041  verified  N.N s",
                             "COM2  864000000000042  failed  N.N s  \"SETA2,222\": the tracker answered \"ERROR!\" (Setting Error!); "
                             "already written: 5 of 9 commands: GPRS 4 of 4; telephone numbers 1 of 5 (SETA1,+111); "
                             "refused by the tracker: \"SETA2,222\"",
                             "COM4  864000000000044  verified  N.N s",
                             "COM5  -  failed  N.N s  \"SETG\": it is no parameter dump; the tracker answered "
                             "\"\u00ff\\x1b[2J,\"x\"\"",
                         }));
        QCOMPARE(b.ports[1]->wire().mid(0, 8), fleetLines().mid(0, 7) << "SETG");
        QCOMPARE(b.station->exitStatus(), 1);
        QCOMPARE(b.station->summary().constFirst(),
                 QStringLiteral("4 tracker(s): 2 verified, 2 failed, 0 differ, 0 cancelled, 0 skipped (already done), "
                                "0 not in values"));
    }

    // stop(): no new tracker; the write in flight ends after its command in flight, cancelled,
    // saying what was written; then finished().
    void stopEndsTheWritesAfterTheCommandInFlight()
    {
        Bench b(2);
        Unit u(QStringLiteral("864000000000042"));
        b.ports[0]->unit = &u;
        QSignalSpy finished(b.station.get(), &Station::finished);
        QObject::connect(b.station.get(), &Station::progress, b.station.get(),
                         [&b](const QString&, int acknowledged) {
                             if (acknowledged == 3)
                                 b.station->stop(SIGTERM);
                         });
        b.station->start();
        QVERIFY(finished.wait(3000));
        QCOMPARE(b.ports[0]->wire(), fleetLines().mid(0, 5));   // SETM was in flight
        QCOMPARE(shape(b.lines.value(0)),
                 QStringLiteral("COM1  864000000000042  cancelled  N.N s  already written: 4 of 9 commands: GPRS 4 of 4"));
        QCOMPARE(b.station->state(QStringLiteral("COM2")), station::PortState::Stopped);
        QVERIFY(!b.ports[0]->isOpen());
        QCOMPARE(b.station->exitStatus(), 1);
    }

    // --count: the station ends once that many trackers were verified; writes under way end whole.
    void countEndsTheSession()
    {
        station::Setup setup;
        setup.count = 2;
        Bench b(3, setup);
        Unit u1(QStringLiteral("1")), u2(QStringLiteral("2")), u3(QStringLiteral("3"));
        b.ports[0]->unit = &u1;
        b.ports[1]->unit = &u2;
        b.ports[2]->unit = &u3;
        QSignalSpy finished(b.station.get(), &Station::finished);
        b.station->start();
        QVERIFY(finished.wait(3000));
        QCOMPARE(b.station->counts().verified, 3);   // all three were under way at once
        QCOMPARE(b.station->counts().cancelled, 0);
        QVERIFY(!b.ports[0]->isOpen() && !b.ports[1]->isOpen() && !b.ports[2]->isOpen());
    }

    // ---- korvane-cli station over pseudo-terminals -----------------------------------------------

    // Three trackers at once: one with its own values, one that refuses a command, one plain; a
    // status line each, then Ctrl-C and the summary; the report's rows and the record's lines.
    void aSessionOverThreePorts()
    {
        Trackers t(3);
        t[1].faults().failOn = QStringLiteral("SETA2");
        const QString values = file(QStringLiteral("values.csv"), "imei,telephones.1\r\n864000000000041,+4915\r\n");
        const QString report = files_.filePath(QStringLiteral("report.csv"));
        const QString record = files_.filePath(QStringLiteral("session.jsonl"));
        auto cli = start({file(QStringLiteral("fleet.json"), kChains), "--ports", "COM4,COM5,COM6", "--values", values,
                          "--values-optional", "--report", report, "--record", record});
        QVERIFY(cli->waitLines(3));
        const int code = cli->end(SIGINT);
        QStringList lines;
        for (const QString& l : cli->lines())
            lines << shape(l);
        std::sort(lines.begin(), lines.begin() + 3);
        QCOMPARE(lines, (QStringList{
                            "COM4  864000000000041  verified  N.N s",
                            "COM5  864000000000042  failed  N.N s  \"SETA2,222\": the tracker answered \"ERROR!\" (Setting Error!); "
                            "already written: 5 of 9 commands: GPRS 4 of 4; telephone numbers 1 of 5 (SETA1,+111); "
                            "refused by the tracker: \"SETA2,222\"",
                            "COM6  864000000000043  verified  N.N s",
                            "3 tracker(s): 2 verified, 1 failed, 0 differ, 0 cancelled, 0 skipped (already done), 0 not "
                            "in values",
                            "COM5  864000000000042  failed  N.N s  \"SETA2,222\": the tracker answered \"ERROR!\" (Setting Error!); "
                            "already written: 5 of 9 commands: GPRS 4 of 4; telephone numbers 1 of 5 (SETA1,+111); "
                            "refused by the tracker: \"SETA2,222\"",
                        }));
        QCOMPARE(code, 1);
        QCOMPARE(t[0].received().mid(0, 7), fleetLines(QStringLiteral("+4915")).mid(0, 7));
        QCOMPARE(t[2].received().mid(0, 7), fleetLines().mid(0, 7));

        QFile r(report);
        QVERIFY(r.open(QIODevice::ReadOnly));
        static const QRegularExpression time(QStringLiteral("[0-9-]{10}T[0-9:]{8}Z"));
        static const QRegularExpression seconds(QStringLiteral(",[0-9]+\\.[0-9],"));
        QStringList rows = QString::fromUtf8(r.readAll())
                               .replace(time, QStringLiteral("TIME"))
                               .replace(seconds, QStringLiteral(",N.N,"))
                               .split(QStringLiteral("\r\n"));
        std::sort(rows.begin() + 1, rows.end());
        QCOMPARE(rows, (QStringList{"time,port,imei,outcome,failed command,seconds,reply", "",
                                    "TIME,COM4,864000000000041,verified,,N.N,",
                                    "TIME,COM5,864000000000042,failed,\"SETA2,222\",N.N,ERROR!",
                                    "TIME,COM6,864000000000043,verified,,N.N,"}));
        QFile rec(record);
        QVERIFY(rec.open(QIODevice::ReadOnly));
        QCOMPARE(rec.readAll().count('\n'), 3);
    }

    // A values file with a bad value is refused whole before any port is opened: exit 3, one
    // message with its place, and the tracker received nothing.
    void aBadValuesFileSendsNothing()
    {
        Trackers t(1);
        const QString values = file(QStringLiteral("bad.csv"), "imei,telephones.1\n864000000000041,+49\n864000000000042,12a\n");
        auto cli = start({file(QStringLiteral("fleet.json"), kChains), "--ports", "COM4", "--values", values});
        const int code = cli->end();
        QCOMPARE(code, 3);
        QCOMPARE(QString::fromLocal8Bit(cli->process.readAllStandardError()),
                 "korvane-cli: " + values + ": line 3, column 17: telephones.1: \"12a\" has the wrong form (up to 20 "
                          "digits, \"+\", \"*\" or \"#\"; \"\" for none) (nothing was sent)\n");
        QTest::qWait(100);
        QCOMPARE(t[0].received(), QStringList());
    }

    // SIGTERM in the middle of a write: the command in flight is answered, nothing follows it; the
    // tracker's line says cancelled and what was written; then the summary.
    void aSignalMidSession()
    {
        Trackers t(1);
        auto cli = start({file(QStringLiteral("fleet.json"), kChains), "--ports", "COM4", "--no-record"});
        // SIGTERM as SETR arrives, before its answer goes out: it lands while SETR is in flight.
        QObject::connect(&t[0], &sim::PtyTracker::commandReceived, &t[0], [&](const QString& line) {
            if (line.startsWith(QLatin1String("SETR")))
                ::kill(pid_t(cli->process.processId()), SIGTERM);
        });
        const int code = cli->end();
        QCOMPARE(t[0].received(), fleetLines().mid(0, 4));
        QCOMPARE(code, 1);
        QCOMPARE(cli->lines().size(), 3);
        QCOMPARE(shape(cli->lines()[0]),
                 QStringLiteral("COM4  864000000000041  cancelled  N.N s  already written: 3 of 9 commands: GPRS 3 of 4 "
                                "(SETCfleet.apn,10.1.2.3:7001, SETOu1,p1, SETRh.example;80)"));
        QCOMPARE(cli->lines()[1], QStringLiteral("1 tracker(s): 0 verified, 0 failed, 0 differ, 1 cancelled, 0 skipped "
                                                 "(already done), 0 not in values"));
    }

    // The simulator hangs up in the middle of a write (the tracker pulled out): one failed line
    // naming what was written; the next tracker on that port is written from the first command.
    void unplugMidWriteAndTheNextTracker()
    {
        Trackers t(1);
        t[0].faults().hangUpAfter = 5;   // SETG and the GPRS chain answered, gone at SETA1
        auto cli = start({file(QStringLiteral("fleet.json"), kChains), "--ports", "COM4", "--no-record"});
        QVERIFY(cli->waitLines(1));
        QCOMPARE(shape(cli->lines()[0]),
                 QStringLiteral("COM4  864000000000041  failed  N.N s  \"SETA1,+111\": the port went away (Port Lost! "
                                "Check The Cable And Open It Again); already written: 4 of 9 commands: GPRS 4 of 4; "
                                "sent without acknowledgement, perhaps applied: \"SETA1,+111\""));
        t[0].faults().hangUpAfter = -1;
        t[0].clearReceived();
        t[0].tracker().params().identity->imei = QStringLiteral("864000000000077");
        QVERIFY(t[0].start() && t[0].linkAs(4));
        QVERIFY(cli->waitLines(2));
        QCOMPARE(shape(cli->lines()[1]), QStringLiteral("COM4  864000000000077  verified  N.N s"));
        QCOMPARE(t[0].received(), fleetLines());
        QCOMPARE(cli->end(SIGINT), 1);
    }
};

QTEST_GUILESS_MAIN(StationTest)
#include "tst_station.moc"
