// The simulator as the window and the tools rely on it: reply texts, dump bytes, faults, its link.
#include "link/port_names.h"
#include "link/serial_port.h"
#include "core/dump_parser.h"
#include "sim/fleet.h"
#include "sim/pty_tracker.h"
#include "sim/state.h"
#include "sim/tracker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

using sim::Comings;
using sim::Fleet;
using sim::Mishap;
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
        QTest::newRow("a cycle of one number") << QStringList{"--cycle", "500"} << QByteArray() << "--cycle wants UP_MS,DOWN_MS";
        QTest::newRow("a cycle never up") << QStringList{"--cycle", "0,100"} << QByteArray() << "--cycle wants UP_MS,DOWN_MS";
        QTest::newRow("no trackers") << QStringList{"--trackers", "0"} << QByteArray() << "--trackers wants a whole number";
        QTest::newRow("too many trackers") << QStringList{"--trackers", "65"} << QByteArray() << "at most 64";
        QTest::newRow("trackers past COM9") << QStringList{"--trackers", "4"} << QByteArray() << "4 trackers from COM7 go past COM9";
        QTest::newRow("a swap every 0 ms") << QStringList{"--swap-every", "0"} << QByteArray() << "--swap-every wants";
        QTest::newRow("a fault unknown in the mix") << QStringList{"--mix", "ok,sulent"} << QByteArray() << "\"sulent\" is no fault";
        QTest::newRow("a chunk of nothing in the mix") << QStringList{"--mix", "chunk:0"} << QByteArray() << "\"chunk:0\" wants a whole number";
        QTest::newRow("an empty entry in the mix") << QStringList{"--mix", "ok,,silent"} << QByteArray() << "an empty entry";
        QTest::newRow("an IMEI that cannot count") << QStringList{"--new-imei", "--imei", "86400000000004X"} << QByteArray()
                                                   << "not 1 to 18 digits";
        QTest::newRow("both ways of linking") << QStringList{"--link-dir", "/tmp"} << QByteArray() << "--port and --link-dir";
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

    // A tracker plugged in and out: its link goes while it is out (the line the program had open is
    // lost), and comes back to a new line; a new tracker each time with --new-imei, else the same
    // one with what was written to it.
    void aTrackerComesAndGoes_data()
    {
        QTest::addColumn<bool>("newImei");
        QTest::addColumn<QString>("imeiBack");
        QTest::addColumn<QString>("telephoneBack");
        QTest::newRow("another tracker") << true << "864000000000043" << "A;B;";
        QTest::newRow("the same tracker") << false << "864000000000042" << "A555;B;";
    }
    void aTrackerComesAndGoes()
    {
        QFETCH(bool, newImei);
        QFETCH(QString, imeiBack);
        QFETCH(QString, telephoneBack);
        QTemporaryDir dir;
        Comings c;
        c.upMs = 900;
        c.downMs = 400;
        c.newImei = newImei;
        c.imei = "864000000000042";
        Fleet fleet(1, c, Mishap{});
        QVERIFY(fleet.linkInto(dir.path()));
        QSignalSpy left(&fleet, &Fleet::left), arrived(&fleet, &Fleet::arrived);
        QElapsedTimer out;   // from the moment it was pulled out
        connect(&fleet, &Fleet::left, this, [&out] { out.start(); });
        QVERIFY(fleet.start());
        const QString link = dir.filePath("tracker1");
        QCOMPARE(fleet.path(0), link);
        const QString firstLine = QFileInfo(link).symLinkTarget();
        QCOMPARE(firstLine, fleet.at(0).slavePath());
        {
            Line s(link);
            QSignalSpy lost(&s.port, &Port::lost);
            QCOMPARE(s.port.open(), 0);
            QVERIFY(s.exchange("SETG\r\n").contains("IMEI:864000000000042,"));
            QCOMPARE(s.exchange("SETA1,555\r\n"), QString("1TEL OK!"));
            QVERIFY(lost.wait(2000));                        // pulled out under the open line
            QVERIFY(!QFileInfo(link).isSymLink());
            QCOMPARE(left.size(), 1);
            QCOMPARE(left[0][1].toString(), QString("unplugged"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 1500);
        QVERIFY2(out.elapsed() >= 350, qPrintable(QString::number(out.elapsed())));   // out for its 400 ms
        QCOMPARE(arrived.size(), 2);                             // plugged in at the start, and again
        QCOMPARE(arrived[1][1].toString(), imeiBack);
        QCOMPARE(QFileInfo(link).symLinkTarget(), fleet.at(0).slavePath());
        Line s(link);
        QCOMPARE(s.port.open(), 0);
        const QString dump = s.exchange("SETG\r\n");
        QVERIFY2(dump.startsWith(telephoneBack) && dump.contains("IMEI:" + imeiBack + ","), qPrintable(dump));
    }

    // A tracker changed behind an adapter that stays plugged in: the open line goes on, the tracker
    // answering on it is another one, at its factory settings.
    void anotherTrackerBehindTheSameLine()
    {
        Comings c;
        c.swapEveryMs = 700;
        c.imei = "864000000000042";
        Fleet fleet(1, c, Mishap{});
        QSignalSpy swapped(&fleet, &Fleet::swapped);
        QVERIFY(fleet.start());
        Line s(fleet.path(0));
        QSignalSpy lost(&s.port, &Port::lost);
        QCOMPARE(s.port.open(), 0);
        QCOMPARE(s.exchange("SETA1,555\r\n"), QString("1TEL OK!"));
        QVERIFY(s.exchange("SETG\r\n").startsWith("A555;B;"));
        QVERIFY(swapped.wait(1500));
        QCOMPARE(swapped[0][1].toString(), QString("864000000000043"));
        const QString dump = s.exchange("SETG\r\n");
        QVERIFY2(dump.startsWith("A;B;") && dump.contains("IMEI:864000000000043,"), qPrintable(dump));
        QCOMPARE(lost.size(), 0);
        QVERIFY(s.port.isOpen());
    }

    // Several trackers, each with the fault the mix gives it, as a single tracker has them: garbage
    // before the token, the token in pieces, a hang-up on the second command, silence; each its
    // own IMEI. A place whose tracker hung up gets the next one, with the next fault of the mix.
    void faultsComeWithTheTrackers()
    {
        Comings c;
        c.imei = "864000000000042";
        c.downMs = 300;
        c.newImei = true;
        for (const char* text : {"garbage", "chunk:2:60", "hang-up-after:1", "silent"}) {
            Mishap m;
            QCOMPARE(sim::parseMishap(text, Mishap{}, &m), QString());
            c.mix << m;
        }
        Fleet fleet(4, c, Mishap{});
        QSignalSpy left(&fleet, &Fleet::left), arrived(&fleet, &Fleet::arrived);
        QVERIFY(fleet.start());
        QCOMPARE(fleet.mishap(1), QString("chunk:2:60"));
        std::vector<std::unique_ptr<Line>> lines;
        for (int i = 0; i < 4; ++i) {
            lines.push_back(std::make_unique<Line>(fleet.path(i)));
            QCOMPARE(lines.back()->port.open(), 0);
        }
        const QString g = lines[0]->exchange("SETA4,4\r\n");
        QCOMPARE(g, QString::fromLatin1("\0\xFF\r" "4TEL OK!", 11));
        lines[1]->exchange("SETT1\r\n");
        QCOMPARE(lines[1]->pieces, (QStringList{" O", "K!"}));
        QVERIFY(lines[1]->exchange("SETG\r\n").contains("IMEI:864000000000043,"));
        QCOMPARE(lines[2]->exchange("SETT1\r\n"), QString(" OK!"));
        QSignalSpy lost(&lines[2]->port, &Port::lost);
        lines[2]->port.write("SETT2\r\n");
        QVERIFY(lost.wait(1000));
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0][0].toInt(), 2);
        QCOMPARE(left[0][1].toString(), QString("hung up"));
        QCOMPARE(lines[3]->exchange("SETT1\r\n"), QString());
        // Tracker 1 of place 3 (the third): IMEI 042 + 4 + 2, and the mix's entry after its first.
        QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 5, 1500);      // the four at the start, and one more
        QCOMPARE(arrived[4][0].toInt(), 2);
        QCOMPARE(arrived[4][1].toString(), QString("864000000000048"));
        QCOMPARE(arrived[4][3].toString(), QString("silent"));
        Line back(fleet.path(2));
        QCOMPARE(back.port.open(), 0);
        QCOMPARE(back.exchange("SETT1\r\n"), QString());
    }

    // As a test or a benchmark starts it: one "device" line per tracker with the path to open,
    // then "up", "down" and "swap" lines as they come and go; the links gone when it stops.
    void theExecutableSaysWhereItsTrackersAre()
    {
        QTemporaryDir dir;
        QProcess sim;
        sim.start(qEnvironmentVariable("KORVANE_SIM", QStringLiteral(KORVANE_SIM_PATH)),
                  {"--trackers", "3", "--link-dir", dir.path(), "--cycle", "700,300", "--new-imei", "--imei",
                   "864000000000042", "--mix", "ok,silent,fail-on:SETC", "--quiet", "--total", "7"});
        QStringList lines;
        const auto seen = [&](const QString& line) {
            while (sim.canReadLine())
                lines << QString::fromLocal8Bit(sim.readLine()).trimmed();
            return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(line); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(seen("down 1 unplugged"), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(seen("up 3 864000000000047 /dev/pts/"), 3000);
        // After the seventh no place gets another: seven gone, and nothing more within a cycle.
        QTRY_VERIFY_WITH_TIMEOUT((seen(QString()), lines.filter(QRegularExpression("^down ")).size() == 7), 4000);
        QTest::qWait(1200);
        seen(QString());
        QCOMPARE(lines.filter(QRegularExpression("^up ")).size(), 7);
        QCOMPARE(lines.filter(QRegularExpression("^down ")).size(), 7);
        QVERIFY(QDir(dir.path()).entryList(QDir::System | QDir::Files).isEmpty());
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        seen(QString());
        QVERIFY(lines.contains("device 1 " + dir.filePath("tracker1")));
        QVERIFY(lines.contains("device 3 " + dir.filePath("tracker3")));
        static const QRegularExpression up(R"(^up (\d) (\d{15}) /dev/pts/\d+ (\S+)$)");
        QStringList ups;
        for (const QString& l : lines)
            if (const auto m = up.match(l); m.hasMatch())
                ups << m.captured(1) + " " + m.captured(2) + " " + m.captured(3);
        QVERIFY(ups.size() >= 6);
        ups = ups.mid(0, 6);   // the first two rounds; within a round in any order
        ups.sort();
        QCOMPARE(ups, (QStringList{"1 864000000000042 ok", "1 864000000000045 silent",
                                   "2 864000000000043 silent", "2 864000000000046 fail-on:SETC",
                                   "3 864000000000044 fail-on:SETC", "3 864000000000047 ok"}));
        QVERIFY(QDir(dir.path()).entryList(QDir::System | QDir::Files).isEmpty());
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
