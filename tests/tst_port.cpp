// Choosing, opening, closing and losing the port: the window's logic on a fake port, and the real
// serial port path on pseudo-terminals.
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
    void emptySelectionAndFailureMessages()
    {
        Rig r;
        r.type("Combo2", "");
        r.click("Command5");
        r.form.Combo2_Click();
        QCOMPARE(r.prompt.shown, (QStringList{"请选择CommPort", "PLS Select CommPort"}));
        QVERIFY(!r.port.isOpen());
        r.port.openFailures = {{4, Port::AlreadyOpen}, {5, Port::PermissionDenied}, {6, Port::NoSuchPort}};
        r.prompt.shown.clear();
        r.type("Combo2", "COM4");
        r.click("Command5");
        r.type("Combo2", "COM6");
        r.click("Command5");
        r.type("Combo2", "COM4");
        r.form.Combo2_Click();
        QCOMPARE(r.prompt.shown, (QStringList{"PORT Is Opened", "Invalid PORT", "The Port Opened"}));
        r.prompt.shown.clear();
        r.type("Combo2", "COM5");                          // permission: the number alone tells
        r.click("Command5");
        QCOMPARE(r.text("Text24"), QString("8010"));
        QVERIFY(r.prompt.shown.isEmpty());
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

    void aVanishedDeviceIsReportedOnce()
    {
        for (bool waiting : {false, true}) {
            Rig r;
            r.click("Command5");
            if (waiting) {
                r.click("Command27");
                r.tick(5);
            }
            r.port.pull();
            QCOMPARE(r.text("Command5"), QString("OPEN"));
            QCOMPARE(r.prompt.shown, QStringList{kLost});
            QCOMPARE(r.form.engine().code(), Code::Idle);
            r.tick(40);
            QCOMPARE(r.prompt.shown.size(), 1);
            r.click("Command5");                           // back once the device is
            QCOMPARE(r.text("Command5"), QString("CLOSE"));
        }
        Rig chain;
        chain.click("Command5");
        chain.click("Command4");
        chain.port.failWrites = true;                      // gone between two steps
        chain.reply("1TEL OK!");
        QCOMPARE(chain.prompt.shown, QStringList{kLost});
        QCOMPARE(chain.form.engine().code(), Code::Idle);
        QCOMPARE(chain.text("Command5"), QString("OPEN"));
    }

    // ---- the real serial port on pseudo-terminals --------------------------------------------

    void realPortCarriesBytesBothWays()
    {
        PortsFolder folder;
        Pty pty;
        QVERIFY(folder.link(2, pty.slave));
        SerialPort port;
        port.setNumber(2);
        QCOMPARE(port.open(), 0);
        QVERIFY(port.isOpen());
        QVERIFY(port.write(QString("SETA1,") + QChar(0xE9) + QChar(0x4E2D) + QChar(0x20AC) + QChar(0) + "\r\n"));
        QCOMPARE(pty.readMaster(), QByteArray("SETA1,\xE9??\0\r\n", 12));   // one byte a character
        QSignalSpy notified(&port, &Port::notified);
        pty.writeMaster("1TEL OK!");
        QVERIFY(notified.wait(1000));
        QCOMPARE(notified.first().first().toInt(), int(Port::Received));
        QTest::qWait(20);
        QCOMPARE(port.readAll(), QString("1TEL OK!"));
        QCOMPARE(port.close(), 0);
        QVERIFY(!port.isOpen());
    }

    void realPortFailureNumbers()
    {
        PortsFolder folder;
        QCOMPARE(ports::devicePath(3), QString("/dev/ttyS2"));   // no link: the built-in port
        QVERIFY(folder.link(5, folder.dir.path() + "/nothing"));
        QCOMPARE(ports::devicePath(5), ports::entryPath(5));    // a dangling link is still the choice
        SerialPort missing;
        missing.setNumber(5);
        QCOMPARE(missing.open(), int(Port::NoSuchPort));
        QFile plain(folder.dir.path() + "/plain.txt");
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(folder.link(6, plain.fileName()));
        SerialPort notATerminal;
        notATerminal.setNumber(6);
        QCOMPARE(notATerminal.open(), int(Port::NoSuchPort));

        Pty pty;
        QVERIFY(folder.link(7, pty.slave));
        SerialPort first, second;
        first.setNumber(7);
        second.setNumber(7);
        QCOMPARE(first.open(), 0);
        QCOMPARE(second.open(), int(Port::AlreadyOpen));   // locked by its first user
        first.close();
        QCOMPARE(second.open(), 0);
        second.close();
        if (::geteuid() != 0) {                            // root opens anything
            QFile::setPermissions(pty.slave, QFileDevice::ReadOwner);
            SerialPort denied;
            denied.setNumber(7);
            QCOMPARE(denied.open(), int(Port::PermissionDenied));
        }
    }

    void hangUpClosesThePortOnceWithoutSpinning()
    {
        PortsFolder folder;
        auto pty = std::make_unique<Pty>();
        QVERIFY(folder.link(8, pty->slave));
        SerialPort port;
        port.setNumber(8);
        QCOMPARE(port.open(), 0);
        QSignalSpy lost(&port, &Port::lost);
        QSignalSpy notified(&port, &Port::notified);
        pty->hangUp();
        QVERIFY(lost.wait(1000));
        QTest::qWait(300);
        QCOMPARE(lost.count(), 1);
        QVERIFY(!port.isOpen());
        QVERIFY(notified.count() < 5);
        QVERIFY(!port.write("SETG\r\n"));
        pty = std::make_unique<Pty>();                    // the device comes back
        QVERIFY(folder.link(8, pty->slave));
        QCOMPARE(port.open(), 0);
        QVERIFY(port.write("SETG\r\n"));
        QCOMPARE(pty->readMaster(), QByteArray("SETG\r\n"));
    }
};

QTEST_MAIN(PortTest)
#include "tst_port.moc"
