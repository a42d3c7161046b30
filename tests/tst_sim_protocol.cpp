// The simulator as the window and the tools rely on it: reply texts, dump bytes, faults, its link.
#include "link/port_names.h"
#include "link/serial_port.h"
#include "sim/pty_tracker.h"
#include "sim/tracker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
