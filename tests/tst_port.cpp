// Choosing, opening, closing and losing the port: the window on a fake port, the real port on ptys.
#include "link/port_names.h"
#include "link/serial_port.h"
#include "support/pty.h"
#include "support/rig.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

namespace {
const char* const kLost = "Port Lost! Check The Cable And Open It Again";
}

class PortTest : public QObject {
    Q_OBJECT
private slots:
    // Typed then OPEN, or picked from the list: each failure has its own wording. (A name that is
    // no port and a missing device: tst_hands, tst_e2e.)
    void emptySelectionAndFailureMessages()
    {
        Rig r;
        r.type("Combo2", "");
        r.form.Combo2_Click();
        r.port.openFailures = {{4, Port::AlreadyOpen}, {5, Port::PermissionDenied}};
        r.type("Combo2", "COM4");
        r.click("Command5");
        QCOMPARE(r.text("Text24"), QString("8005"));
        r.form.Combo2_Click();
        QCOMPARE(r.prompt.shown, (QStringList{"PLS Select CommPort", "PORT Is Opened", "The Port Opened"}));
        r.type("Combo2", "COM5");                          // permission: the number alone tells
        r.click("Command5");
        QCOMPARE(r.text("Text24"), QString("8010"));
        QCOMPARE(r.prompt.shown.size(), 3);
        QCOMPARE(r.text("Command5"), QString("OPEN"));
    }

    // Opening and closing by mouse and keys: tst_hands.
    void closingKeepsTheMonitorAndAWaitingSendStillTimesOut()
    {
        Rig r;
        r.click("Command5");
        r.port.deliver("kept");
        r.click("Command5");
        QCOMPARE(r.text("Command5"), QString("OPEN"));
        QCOMPARE(r.text("Text24"), QString("kept"));
        r.click("Command5");
        r.click("Command27");
        r.click("Command5");
        r.tick(21);
        QCOMPARE(r.prompt.shown, QStringList{"Out-Time !"});
    }

    // While a reply is awaited, against the simulator: tst_e2e.
    void aVanishedDeviceIsReportedOnce()
    {
        Rig r;
        r.click("Command5");
        r.port.pull();
        QCOMPARE(r.text("Command5"), QString("OPEN"));
        r.tick(40);
        QCOMPARE(r.prompt.shown, QStringList{kLost});
        r.click("Command5");                               // back once the device is
        QCOMPARE(r.text("Command5"), QString("CLOSE"));
        r.click("Command4");
        r.port.failWrites = true;                          // gone between two steps of a chain
        r.reply("1TEL OK!");
        QCOMPARE(r.prompt.shown, (QStringList{kLost, kLost}));
        QCOMPARE(r.form.engine().code(), Code::Idle);
        QCOMPARE(r.text("Command5"), QString("OPEN"));
    }

    // ---- the real serial port on pseudo-terminals --------------------------------------------

    // What is read through the real port: tst_sim_protocol.
    void realPortWritesOneByteACharacter()
    {
        PortsFolder folder;
        Pty pty;
        QVERIFY(folder.link(2, pty.slave));
        SerialPort port;
        port.setNumber(2);
        QCOMPARE(port.open(), 0);
        QVERIFY(port.write(QString("SETA1,") + QChar(0xE9) + QChar(0x4E2D) + QChar(0x20AC) + QChar(0) + "\r\n"));
        QCOMPARE(pty.readMaster(), QByteArray("SETA1,\xE9??\0\r\n", 12));
    }

    // A port busy in another program: tst_cli. Closed and opened again: tst_e2e.
    void realPortFailureNumbers()
    {
        PortsFolder folder;
        QCOMPARE(ports::devicePath(3), QString("/dev/ttyS2"));   // no link: the built-in port
        QVERIFY(folder.link(5, folder.dir.path() + "/nothing"));
        QCOMPARE(ports::devicePath(5), ports::entryPath(5));    // a dangling link is still the choice
        QFile plain(folder.dir.path() + "/plain.txt");
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(folder.link(6, plain.fileName()));
        SerialPort notATerminal;
        notATerminal.setNumber(6);
        QCOMPARE(notATerminal.open(), int(Port::NoSuchPort));
        Pty pty;
        QVERIFY(folder.link(7, pty.slave));
        if (::geteuid() != 0) {                            // root opens anything
            QFile::setPermissions(pty.slave, QFileDevice::ReadOwner);
            SerialPort denied;
            denied.setNumber(7);
            QCOMPARE(denied.open(), int(Port::PermissionDenied));
        }
    }

    // Opened again once the device is back: tst_e2e, tst_faults.
    void hangUpClosesThePortOnceWithoutSpinning()
    {
        PortsFolder folder;
        Pty pty;
        QVERIFY(folder.link(8, pty.slave));
        SerialPort port;
        port.setNumber(8);
        QCOMPARE(port.open(), 0);
        QSignalSpy lost(&port, &Port::lost);
        QSignalSpy notified(&port, &Port::notified);
        pty.hangUp();
        QVERIFY(lost.wait(1000));
        QTest::qWait(300);
        QCOMPARE(lost.count(), 1);
        QVERIFY(!port.isOpen());
        QVERIFY(notified.count() < 5);
        QVERIFY(!port.write("SETG\r\n"));
    }
};

QTEST_MAIN(PortTest)
#include "tst_port.moc"
