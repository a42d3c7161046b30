// The simulated tracker: its answers and state, and its behaviour on a real pseudo-terminal, read
// and written through the slave side as the program's port would. Hanging up and coming back under
// the same number: tst_faults and tst_e2e reopen the port after it.
#include "link/port_names.h"
#include "sim/pty_tracker.h"
#include "sim/tracker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using sim::PtyTracker;
using sim::Tracker;

namespace {

// The program's side of the line: raw, like its serial port.
struct Slave {
    int fd = -1;
    explicit Slave(const QString& path)
    {
        fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        ::tcgetattr(fd, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    ~Slave() { if (fd >= 0) ::close(fd); }

    // Reads while the simulator runs on this thread's event loop, until quiet or hung up.
    QByteArray read(int quietMs, int maxMs, QList<QByteArray>* pieces = nullptr)
    {
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        qint64 last = -1;
        while (clock.elapsed() < maxMs) {
            QCoreApplication::processEvents();
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2) > 0) {
                char buf[4096];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0) {
                    out.append(buf, int(n));
                    if (pieces) pieces->append(QByteArray(buf, int(n)));
                    last = clock.elapsed();
                    continue;
                }
                if (n == 0 || errno == EIO)
                    break;   // hung up
            }
            if (last >= 0 && clock.elapsed() - last >= quietMs)
                break;
        }
        return out;
    }
    QByteArray exchange(const QByteArray& line)
    {
        if (::write(fd, line.constData(), size_t(line.size())) != line.size())
            return "<write failed>";
        return read(60, 1500);
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

    void replyTokens_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reply");
        for (const char* ok : {"SETCapn,10.0.0.1:9000", "SETO,", "SETR;", "SETM1,030S", "SETM0,030S", "SETI1,0,1#",
                               "SETI5,1,0,22.5,114.1", "SETN1,45", "SETJ0,000", "SETL+08:00", "SETSO1,2,3,4",
                               "SETS3", "SETS1,1,0", "SETP1,015", "SETH123456", "SETQ000150", "SETXD1B2F2",
                               "SETXD2B0F0", "SETXD", "SETT4", "SETU2,1", "SETU"})
            QTest::newRow(ok) << ok << " OK!";
        QTest::newRow("slot digit") << "SETA3,555" << "3TEL OK!";
        QTest::newRow("deletion") << "SETA8,D" << "8TEL OK!";
        QTest::newRow("reset") << "SET10" << "RESET!";
        for (const char* bad : {"HELLO", "set10", "SETA9,1", "SETA1123", "SETI1,2,1#", "SETM1,030", "SETM1,030s", "SETN45",
                                "SETS1,3,0", "SETT5", "SETU5"})
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
            QCOMPARE(t.dump(), before);   // a refused command changes nothing
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

    void answersOverAPseudoTerminal()
    {
        PtyTracker pty;
        QVERIFY(pty.start());
        Slave s(pty.slavePath());
        QCOMPARE(s.exchange("SETT1\r\n"), QByteArray(" OK!"));
        QCOMPARE(s.exchange("SETA1,1\r\nSETA2,2\n"), QByteArray("1TEL OK!2TEL OK!"));   // two lines, bare "\n"
        QVERIFY(::write(s.fd, "SET", 3) == 3);                                         // half a line: no answer
        QCOMPARE(s.read(100, 100), QByteArray());
        QCOMPARE(s.exchange("Cn\xE9t\r\n"), QByteArray(" OK!"));
        QCOMPARE(pty.tracker().params().gprs->apn.value(), QString::fromLatin1("n\xE9t"));
        QCOMPARE(s.exchange("SETG\r\n"), pty.tracker().dump().toLatin1());
        QCOMPARE(pty.received(), (QStringList{"SETT1", "SETA1,1", "SETA2,2", QString::fromLatin1("SETCn\xE9t"), "SETG"}));
    }

    void misbehavesOnRequest()
    {
        PtyTracker pty;
        QVERIFY(pty.start());
        Slave s(pty.slavePath());
        pty.faults().crlf = true;
        QCOMPARE(s.exchange("SETT1\r\n"), QByteArray(" OK!\r\n"));
        pty.faults() = {};
        pty.faults().garbage = true;
        const QByteArray g = s.exchange("SETA4,4\r\n");
        QVERIFY(g.endsWith("4TEL OK!") && g.contains('\0') && g.contains('\xFF'));
        pty.faults() = {};
        pty.faults().failOn = "SETC";
        QCOMPARE(s.exchange("SETCchanged\r\n"), QByteArray("ERROR!"));
        QCOMPARE(pty.tracker().params().gprs->apn.value(), QString("cmnet"));
        pty.faults() = {};
        pty.faults().silent = true;
        QCOMPARE(s.exchange("SETT1\r\n"), QByteArray());
        pty.faults() = {};
        pty.faults().chunkSize = 2;
        pty.faults().chunkDelayMs = 60;
        QList<QByteArray> pieces;
        QVERIFY(::write(s.fd, "SETT1\r\n", 7) == 7);
        QCOMPARE(s.read(200, 1500, &pieces), QByteArray(" OK!"));
        QCOMPARE(pieces, (QList<QByteArray>{" O", "K!"}));
        pty.faults() = {};
        pty.startFlood(11520);
        const QByteArray flood = s.read(10000, 500);
        QVERIFY2(flood.size() > 3500 && flood.size() < 8000, qPrintable(QString::number(flood.size())));
        pty.stopFlood();
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
