// The simulator as the window and the tools rely on it: reply texts, dump bytes, faults, its link.
#include "link/port_names.h"
#include "link/serial_port.h"
#include "core/dump_parser.h"
#include "sim/pty_tracker.h"
#include "sim/state.h"
#include "sim/tracker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using sim::PtyTracker;
using sim::Tracker;

namespace {

// The program's side of the line: the window's serial port on the simulator's pseudo-terminal.
struct Line {
    SerialPort port;
    QStringList pieces;   // as they arrived
    explicit Line(const QString& path)
    {
        port.setDevicePath(path);
        QObject::connect(&port, &Port::notified, &port, [this] { pieces << port.readAll(); });
    }
    // Writes `text`, then collects what comes until the line has been quiet for 100 ms.
    QString exchange(const QString& text)
    {
        pieces.clear();
        port.write(text);
        qsizetype seen = 0;
        do {
            seen = pieces.size();
            QTest::qWait(100);
        } while (pieces.size() != seen);
        return pieces.join(QString());
    }
};

}  // namespace

class SimProtocolTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));   // never the user's ports folder
        QVERIFY(QDir().mkpath(ports::folder()));
    }

    // The tokens the window's rows wait for; a refused command changes nothing.
    void replyTokens_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reply");
        QTest::newRow("empty user") << "SETO," << " OK!";
        QTest::newRow("empty http") << "SETR;" << " OK!";
        QTest::newRow("slot digit") << "SETA3,555" << "3TEL OK!";
        QTest::newRow("deletion") << "SETA8,D" << "8TEL OK!";
        QTest::newRow("reset") << "SET10" << "RESET!";
        for (const char* bad : {"HELLO", "set10", "SETA9,1", "SETM1,030s", "SETN45", "SETT5"})
            QTest::newRow(bad) << bad << "ERROR!";
        QTest::newRow("blank line") << "" << "";
    }
    void replyTokens()
    {
        QFETCH(QString, command);
        QFETCH(QString, reply);
        Tracker t;
        const QString before = t.dump();
        QCOMPARE(t.handle(command), reply);
        if (reply == "ERROR!")
            QCOMPARE(t.dump(), before);
    }

    void theDumpCarriesWhatWasWrittenUntilAReset()
    {
        Tracker t;
        const QString factory = t.dump();
        for (const char* c : {"SETCnet.a,10.1.2.3:7700", "SETCother", "SETOme,pw", "SETA2,555", "SETA8,888",
                              "SETM1,005M", "SETP1,020", "SETS3", "SETXD1B2F2", "SETU1", "SETU2,1", "SETJ1,120",
                              "SETN1,35", "SETH246810", "SETL-05:30", "SETI2,1,0,22.5,114.0", "SETQ004321",
                              "SETS1,0,0", "SETXD2B0F1"})
            QVERIFY(t.handle(c) != "ERROR!");
        const QStringList lines = t.dump(true).split("\r\n");
        QVERIFY(lines[0].startsWith("A;B555;C;D;E;F;G;H888;other;me;pw;10.1.2.3;7700;"));
        QVERIFY2(lines[1].startsWith("004321;Record:,05000000140000004D00030000000010"), qPrintable(lines[1]));
        QCOMPARE(lines[5], QString("2:22.5,114.0"));
        QCOMPARE(lines.mid(9, 5), (QStringList{"E2", "FD", "E2", "10", "20"}));   // switch, side, defined, io, arm
        QCOMPARE(lines[14], QString("Speed:120;1,1,0,1,0,1,35%"));
        QCOMPARE(lines[15], QString("Password:246810"));
        QCOMPARE(lines[16], QString("45"));                                       // -05:30
        QCOMPARE(t.dump(false).count("\r\n"), 15);                                // no model lines
        QCOMPARE(t.handle("SET10"), QString("RESET!"));
        QCOMPARE(t.dump(), factory);
    }

    void overTheWindowsSerialPort()
    {
        PtyTracker pty;
        QVERIFY(pty.start());
        Line s(pty.slavePath());
        QCOMPARE(s.port.open(), 0);
        QCOMPARE(s.exchange("SETA1,1\r\nSETA2,2\n"), QString("1TEL OK!2TEL OK!"));   // two lines, bare "\n"
        QCOMPARE(s.exchange("SET"), QString());                                      // half a line: no answer
        QCOMPARE(s.exchange(QString::fromLatin1("Cn\xE9t\r\n")), QString(" OK!"));     // its end; 0xE9 one byte
        QCOMPARE(pty.received(), (QStringList{"SETA1,1", "SETA2,2", QString::fromLatin1("SETCn\xE9t")}));
        // The faults whose effect no window test sees arrive as asked. (Line ends after the token,
        // wrong tokens and silence: the outcomes tst_e2e checks.)
        pty.faults().garbage = true;
        const QString g = s.exchange("SETA4,4\r\n");
        QVERIFY(g.endsWith("4TEL OK!") && g.contains(QChar(0)) && g.contains(QChar(0xFF)));
        pty.faults() = {};
        pty.faults().chunkSize = 2;
        pty.faults().chunkDelayMs = 60;
        s.exchange("SETT1\r\n");
        QCOMPARE(s.pieces, (QStringList{" O", "K!"}));
        pty.faults() = {};
        s.pieces.clear();
        pty.startFlood(11520);
        QTest::qWait(500);
        const qsizetype flood = s.pieces.join(QString()).size();
        pty.stopFlood();
        QVERIFY2(flood > 3500 && flood < 8000, qPrintable(QString::number(flood)));
    }

    // Wrong options exit 2, as the manual says: 1 means the COM number is taken. A state it
    // cannot take is wrong use too, with its reason.
    void wrongOptionsExitTwo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("state");   // written to the file --state names
        QTest::addColumn<QString>("said");
        QTest::newRow("an unknown option") << QStringList{"--bogus"} << QByteArray() << "Unknown option 'bogus'";
        QTest::newRow("a value missing") << QStringList{"--chunk"} << QByteArray() << "Missing value after '--chunk'";
        QTest::newRow("a bad number") << QStringList{"--chunk", "x"} << QByteArray() << "--chunk wants a whole number";
        QTest::newRow("a state with a comma in the APN")
            << QStringList{"--state"}
            << QByteArray(R"({"format": "korvane-profile", "version": 1, "model": "Petrel", "gprs": {"apn": "a,b",
                              "apnUser": "", "apnPassword": "", "serverIp": "", "serverPort": "", "httpAddress": "",
                              "httpPort": "", "interval": "000"}})")
            << "gprs.apn: \"a,b\" holds \",\"";
    }
    void wrongOptionsExitTwo()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, state);
        QFETCH(QString, said);
        QTemporaryDir dir;
        if (!state.isNull()) {
            QFile f(dir.filePath("state"));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(state) == state.size());
            args << f.fileName();
        }
        QProcess sim;
        // KORVANE_SIM: another build of the simulator (an older one, say).
        sim.start(qEnvironmentVariable("KORVANE_SIM", QStringLiteral(KORVANE_SIM_PATH)), QStringList{"--port", "COM7"} + args);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 2);
        const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(err.contains(said), qPrintable(err));
        QVERIFY(!QFileInfo(ports::entryPath(7)).isSymLink());
    }

    // A state is taken exactly or refused with the reason: a profile as a write checks it (a value
    // the write refuses is not quietly skipped or split into two fields), a dump field by field (a
    // hex pair that is no hex, an odometer longer than the dump's six digits are not altered).
    void aStateIsHeldExactlyOrRefused_data()
    {
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<QString>("refused");   // empty: taken
        const QByteArray dump = "A1001;B1002;C;D;E;F;G;H1008;apn;;;10.0.0.1;9000;\r\n"
                                "000150;ord:,1E000000050000004D00030010100010\r\nHP:abc,80\r\n"
                                "IMEI:350000000000001,Ver:1.0,2.3,\r\n1:P1\r\n2:P2\r\n3:P3\r\n4:\r\n5:\r\n"
                                "E5\r\nE1\r\nE7\r\n00\r\n60\r\ned:8;1x1xxx1xxx1,20%\r\nword:\r\nA8\r\n";
        QTest::newRow("a dump with an empty password") << dump << QString();
        QTest::newRow("a dump whose interval pair is ZZ")
            << QByteArray(dump).replace("ord:,1E", "ord:,ZZ") << R"(gprs.interval ("ZZ"))";
        QTest::newRow("a dump with a 24-digit odometer")
            << QByteArray(dump).replace("000150;", "123456789012345678901234;")
            << R"(other.odometer ("123456789012345678901234"))";
        QTest::newRow("a dump whose lock digit is 7")
            << QByteArray(dump).replace("00030010100010", "00030010100070") << R"(special.lockType ("7"))";
        QTest::newRow("a dump with a battery level the tracker cannot keep")
            << QByteArray(dump).replace("1,20%", "1,x5%") << "other.lowBattery=x5%";
        const QByteArray head = R"({"format": "korvane-profile", "version": 1, "model": "Petrel", )";
        QTest::newRow("a profile's over-speed of 300")
            << head + R"("other": {"overSpeed": "300"}})" << R"(other.overSpeed: "300" is out of range (000 to 250))";
        QTest::newRow("a profile with a number left out of its chain")
            << head + R"("telephones": {"1": "112", "2": "", "3": ""}})" << "telephones.4: missing";
        QTest::newRow("a profile of numbers")
            << head + R"("telephones": {"1": "112", "2": "", "3": "", "4": "", "5": "911"}})" << QString();
    }
    void aStateIsHeldExactlyOrRefused()
    {
        QFETCH(QByteArray, state);
        QFETCH(QString, refused);
        Tracker tracker;
        const QString before = tracker.dump();
        const QString error = sim::loadState(tracker, state);
        if (!refused.isEmpty()) {
            QVERIFY2(error.contains(refused), qPrintable(error));
            QCOMPARE(tracker.dump(), before);
            return;
        }
        QCOMPARE(error, QString());
        if (state.startsWith('A')) {   // the dump comes back field by field
            const QStringList given = bulk::describe(bulk::parseDump(QString::fromLatin1(state), true).params);
            const QStringList held = bulk::describe(bulk::parseDump(tracker.dump(), true).params);
            for (const QString& field : given)
                QVERIFY2(held.contains(field), qPrintable(field));
            QVERIFY(held.contains(QStringLiteral("other.password=")));
        } else {
            QCOMPARE(tracker.params().telephones->number[4], QString("911"));
        }
    }

    void neverTakesAnotherDevicesLink()
    {
        const QString entry = ports::entryPath(4);
        QTemporaryDir other;
        const QString device = other.filePath("ttyUSB0");
        { QFile f(device); QVERIFY(f.open(QIODevice::WriteOnly)); }
        QVERIFY(QFile::link(device, entry));
        {
            PtyTracker pty;
            QVERIFY(pty.start());
            QString error;
            QVERIFY(!pty.linkAs(4, &error));
            QVERIFY2(error.contains(device), qPrintable(error));
        }
        QCOMPARE(QFileInfo(entry).symLinkTarget(), device);
        QVERIFY(QFile::remove(device));   // now dangling: an old line, taken over and removed on exit
        {
            PtyTracker pty;
            QVERIFY(pty.start());
            QVERIFY(pty.linkAs(4));
            QCOMPARE(QFileInfo(entry).symLinkTarget(), pty.slavePath());
        }
        QVERIFY(!QFileInfo(entry).isSymLink());
    }
};

QTEST_GUILESS_MAIN(SimProtocolTest)
#include "tst_sim_protocol.moc"
