// The ports in the window, against USB adapters the test fakes: what each entry of the port list
// stands for, the Ports dialog giving an adapter a COM number and following devices plugged in and
// out, and what the status bar says when the user may not open the device.
#include "ports/ports.h"
#include "ports/ports_system.h"
#include "link/port_names.h"
#include "pages/form2.h"
#include "pages/main_window.h"
#include "pages/ports_dialog.h"
#include "support/chooser.h"
#include "support/fakes.h"
#include "support/hands.h"
#include "support/pty.h"
#include "support/shell.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace portstool;

namespace {

// Adapters this machine does not have: a file each under a private /dev, with the by-id link udev
// would make. The devices present are the ones the test has plugged in.
struct FakeDevices {
    QTemporaryDir dev;
    QList<Device> plugged;
    bool mayOpen = true;

    QString path(const QString& name) const { return dev.path() + "/" + name; }
    QString byId(const QString& id) const { return dev.path() + "/serial/by-id/" + id; }

    void plug(const QString& name, const QString& id, const QString& description, const QString& maker,
              const QString& serial)
    {
        QFile node(path(name));
        if (!node.open(QIODevice::WriteOnly))
            qFatal("cannot make %s", qPrintable(node.fileName()));
        QDir().mkpath(dev.path() + "/serial/by-id");
        if (!id.isEmpty())
            QFile::link("../../" + name, byId(id));
        plugged << Device{path(name), description, maker, serial, true, 0x0403, 0x6001,
                          stableNamesOf(path(name), dev.path())};
    }
    void unplug(const QString& name)
    {
        plugged.removeIf([&](const Device& d) { return d.path == path(name); });
        for (const QString& id : QDir(dev.path() + "/serial/by-id").entryList(QDir::System))
            if (QFileInfo(byId(id)).symLinkTarget() == path(name))
                QFile::remove(byId(id));
        QFile::remove(path(name));
    }
    PortsSystem system()
    {
        PortsSystem s;
        s.devices = [this] { return plugged; };
        s.access = [this](const QString& p) {
            Access a;
            a.exists = QFileInfo::exists(p);
            a.characterDevice = a.exists;
            a.deviceClass = QStringLiteral("tty");
            a.readWrite = a.exists && mayOpen;
            a.group = QStringLiteral("dialout");
            a.mode = QStringLiteral("crw-rw----");
            return a;
        };
        s.devFolder = dev.path();
        return s;
    }
};

const char* const kFtdiId = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

// The program's window on a fake port and fake adapters, operated by mouse and keys.
struct Shell : WindowShell {
    PortsFolder folder;
    FakeDevices devices;

    Shell() { window.form().setPortsSystem(devices.system()); }
    QString tip(const QString& com) { return hands.tipOfEntry("Combo2", com); }
    PortsDialog* portsByMenu()
    {
        QMenuBar* bar = window.menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(window.portsAction()).center());
        auto* dialog = window.findChild<PortsDialog*>("PortsDialog");
        if (!dialog || !QTest::qWaitForWindowActive(dialog))
            qFatal("Ports… opened no dialog");
        return dialog;
    }
};

QTreeWidget* list(PortsDialog* dialog, const char* name) { return dialog->findChild<QTreeWidget*>(name); }
QStringList row(QTreeWidget* list, int r)
{
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c)
        texts << list->topLevelItem(r)->text(c);
    return texts;
}
// The COM number chosen as with the keyboard: the list opened by a click, the entry reached with
// the arrow keys, Return.
void chooseCom(Hands& d, int n)
{
    d.click("ComChoice");
    QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000));
    d.key(Qt::Key_Home);
    for (int i = 1; i < n; ++i)
        d.key(Qt::Key_Down);
    d.key(Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }, 2000));
    QCOMPARE(d.at("ComChoice")->property("currentText").toString(), QStringLiteral("COM%1").arg(n));
}
QString result(PortsDialog* dialog) { return dialog->findChild<QLabel*>("Result")->text(); }

}  // namespace

class PortsWindowTest : public QObject {
    Q_OBJECT
private slots:
    // Hovering an entry of the port list tells the device behind it, whether it is there and what
    // the system knows of the adapter; a second look after the adapter is pulled says it is gone.
    void portListTellsWhatEachNumberStandsFor()
    {
        Shell s;
        s.devices.plug("ttyUSB0", kFtdiId, "FT232R USB UART", "FTDI", "A50285BI");
        s.devices.plug("ttyACM0", "", "", "", "");
        QVERIFY(s.folder.link(3, s.devices.byId(kFtdiId)));
        QVERIFY(s.folder.link(5, s.devices.path("ttyUSB9")));
        QVERIFY(s.folder.link(7, s.devices.path("ttyACM0")));
        const QString usb = s.devices.path("ttyUSB0");
        QCOMPARE(s.tip("COM3"), QStringLiteral("COM3: %1 (%2), linked in the ports folder\npresent\n"
                                               "description: FT232R USB UART\nmanufacturer: FTDI\n"
                                               "serial number: A50285BI").arg(s.devices.byId(kFtdiId), usb));
        QCOMPARE(s.tip("COM5"), QStringLiteral("COM5: %1, linked in the ports folder\nmissing: OPEN shows 8002")
                                    .arg(s.devices.path("ttyUSB9")));
        QCOMPARE(s.tip("COM7"), QStringLiteral("COM7: %1, linked in the ports folder\npresent")
                                    .arg(s.devices.path("ttyACM0")));
        QVERIFY(s.tip("COM1").startsWith("COM1: /dev/ttyS0, built-in, no link\n"));
        s.devices.mayOpen = false;
        QCOMPARE(s.tip("COM7").section('\n', 1), QString("present, but you may not open it: OPEN shows 8010"));
        s.devices.unplug("ttyUSB0");
        QCOMPARE(s.tip("COM3"), QStringLiteral("COM3: %1, linked in the ports folder\nmissing: OPEN shows 8002")
                                    .arg(s.devices.byId(kFtdiId)));
        QCOMPARE(s.hands.at("Combo2")->property("currentText").toString(), QString("COM4"));   // only looked at
        QVERIFY(s.port.opened.isEmpty());
    }

    // Ports…: an adapter gets a COM number by its stable name, the window's list then names it,
    // the dialog follows adapters plugged in and out, and an assignment is removed again.
    void portsDialogAssignsAndFollows()
    {
        Shell s;
        s.devices.plug("ttyUSB0", kFtdiId, "FT232R USB UART", "FTDI", "A50285BI");
        PortsDialog* dialog = s.portsByMenu();
        Hands d(dialog);
        QTreeWidget* devices = list(dialog, "Devices");
        QTreeWidget* coms = list(dialog, "ComNumbers");
        const QString usb = s.devices.path("ttyUSB0");
        QCOMPARE(devices->topLevelItemCount(), 1);
        QCOMPARE(row(devices, 0), (QStringList{usb, "FT232R USB UART", "FTDI", "A50285BI", "0403:6001",
                                               s.devices.byId(kFtdiId), ""}));
        QVERIFY(!d.at("Assign")->isEnabled());   // nothing chosen yet

        d.click(devices, devices->model()->index(0, 0));
        chooseCom(d, 3);
        d.click("Assign");
        QCOMPARE(lookEntry(ports::entryPath(3)).target, s.devices.byId(kFtdiId));
        QCOMPARE(result(dialog), QStringLiteral("COM3 -> %1 (was /dev/ttyS2)").arg(s.devices.byId(kFtdiId)));
        QCOMPARE(row(devices, 0).constLast(), QString("COM3"));
        QCOMPARE(row(coms, 2), (QStringList{"COM3", "-> " + s.devices.byId(kFtdiId), "present", "FT232R USB UART"}));
        QVERIFY(s.tip("COM3").contains("description: FT232R USB UART"));

        // Plugged in while the dialog is open; without a stable name it is linked by its path.
        s.devices.plug("ttyACM0", "", "CDC modem", "", "");
        QVERIFY(QTest::qWaitFor([&] { return devices->topLevelItemCount() == 2; }, 3 * PortsDialog::kFollowMs));
        QCOMPARE(row(devices, 1).constFirst(), s.devices.path("ttyACM0"));
        d.click(devices, devices->model()->index(1, 0));
        chooseCom(d, 4);
        d.click("Assign");
        QCOMPARE(lookEntry(ports::entryPath(4)).target, s.devices.path("ttyACM0"));

        // Pulled out: gone from the list, and COM3 now leads nowhere.
        s.devices.unplug("ttyUSB0");
        QVERIFY(QTest::qWaitFor([&] { return devices->topLevelItemCount() == 1; }, 3 * PortsDialog::kFollowMs));
        QCOMPARE(row(devices, 0).constFirst(), s.devices.path("ttyACM0"));
        QCOMPARE(row(coms, 2).mid(2), (QStringList{"missing: OPEN shows 8002", ""}));

        // Removed: the COM number picked in its list is the one taken back.
        d.click(coms, coms->model()->index(2, 0));
        QCOMPARE(d.at("ComChoice")->property("currentText").toString(), QString("COM3"));
        d.click("Unassign");
        QVERIFY(!lookEntry(ports::entryPath(3)).present);
        QCOMPARE(result(dialog), QStringLiteral("COM3 is no longer linked to %1; it is /dev/ttyS2 again.")
                                     .arg(s.devices.byId(kFtdiId)));
        QCOMPARE(row(coms, 2).mid(1, 1), QStringList{"/dev/ttyS2  (built-in, no link)"});
        QCOMPARE(lookEntry(ports::entryPath(4)).target, s.devices.path("ttyACM0"));   // the other stays
    }

    // What korvane-ports refuses the dialog refuses too, in the same words, and leaves alone.
    void portsDialogRefusesAsTheToolDoes()
    {
        Shell s;
        s.devices.plug("ttyUSB0", kFtdiId, "FT232R USB UART", "FTDI", "A50285BI");
        QFile notes(ports::entryPath(6));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("kept");
        notes.close();
        PortsDialog* dialog = s.portsByMenu();
        Hands d(dialog);
        QTreeWidget* devices = list(dialog, "Devices");
        d.click(devices, devices->model()->index(0, 0));
        chooseCom(d, 6);
        d.click("Assign");
        QCOMPARE(result(dialog), QStringLiteral("%1 is a regular file, not a link; COM6 is left alone. Remove it "
                                                "by hand if it is not needed.").arg(ports::entryPath(6)));
        QVERIFY(!lookEntry(ports::entryPath(6)).symlink);
        d.click("Unassign");
        QVERIFY(QFileInfo(ports::entryPath(6)).isFile());
        // Asked again, the one dialog comes back.
        QCOMPARE(s.portsByMenu(), dialog);
    }

    // A device the user may not open: 8010 in the monitor, with the whole remedy under it; the
    // status bar names the device (not the ports folder's link to it) in one short line, and gives
    // the remedy again to the mouse resting on it. Other failures show their box and leave the
    // status bar empty; an open that succeeds clears it.
    void statusBarSaysHowToGetAccess_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<bool>("fromList");
        QTest::addColumn<bool>("linked");   // COM4 a link in the ports folder to an adapter
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("8010 by OPEN") << 8010 << false << false << QStringList{};
        QTest::newRow("8010 picked") << 8010 << true << false << QStringList{};
        QTest::newRow("8010 through a link") << 8010 << false << true << QStringList{};
        QTest::newRow("8002") << 8002 << false << false << QStringList{"Invalid PORT"};
        QTest::newRow("8005 picked") << 8005 << true << false << QStringList{"The Port Opened"};
    }
    void statusBarSaysHowToGetAccess()
    {
        QFETCH(int, failure);
        QFETCH(bool, fromList);
        QFETCH(bool, linked);
        QFETCH(QStringList, messages);
        Shell s;
        QString device = "/dev/ttyS3";
        if (linked) {
            s.devices.plug("ttyUSB0", kFtdiId, "FT232R USB UART", "FTDI", "A50285BI");
            QVERIFY(s.folder.link(4, s.devices.byId(kFtdiId)));
            device = QFileInfo(s.devices.path("ttyUSB0")).canonicalFilePath();
        }
        s.port.openFailures[4] = failure;
        if (fromList)
            s.hands.pick("Combo2", "COM4");
        else
            s.hands.click("Command5");
        const QString remedy = "You may not open " + device + " (COM4).\n"
                               "Serial devices belong to the dialout group; add yourself to it with\n"
                               "    sudo usermod -aG dialout $USER\n"
                               "then log out and in again.";
        QStatusBar* bar = s.window.statusBar();
        if (failure == 8010) {
            QCOMPARE(bar->currentMessage(),
                     "8010: you may not open " + device + " (COM4); how to get access is in the monitor");
            QCOMPARE(s.hands.at("Text24")->property("plainText").toString(), "8010\n" + remedy);
            QCOMPARE(shownTip(s.hands.tipOf(bar, QPoint(40, bar->height() / 2))), remedy);
            // The whole line is drawn: it ends before the window's edge.
            QVERIFY2(bar->fontMetrics().horizontalAdvance(bar->currentMessage()) < bar->width() - 12,
                     qPrintable(bar->currentMessage()));
        } else {
            QCOMPARE(bar->currentMessage(), QString());
            QCOMPARE(s.hands.at("Text24")->property("plainText").toString(), QString::number(failure));
            QCOMPARE(s.hands.tipOf(bar, QPoint(40, bar->height() / 2)), QString());
        }
        QCOMPARE(s.prompt.shown, messages);
        QCOMPARE(s.hands.at("Command5")->property("text").toString(), QString("OPEN"));
        s.port.openFailures.clear();
        s.hands.click("Command5");
        QCOMPARE(s.hands.at("Command5")->property("text").toString(), QString("CLOSE"));
        QCOMPARE(bar->currentMessage(), QString());
        QCOMPARE(s.hands.tipOf(bar, QPoint(40, bar->height() / 2)), QString());
    }

    // What the system says of a device is shown as it is, also a name that looks like markup.
    void aDeviceNamedLikeMarkupIsShownAsItIs()
    {
        Shell s;
        s.devices.plug("ttyUSB<b>9", "", "<i>FT232R</i> USB UART", "FTDI", "A50285BI");
        QVERIFY(s.folder.link(5, s.devices.path("ttyUSB<b>9")));
        const QString tip = shownTip(s.tip("COM5"));
        QVERIFY2(tip.startsWith("COM5: " + s.devices.path("ttyUSB<b>9") + ", linked in the ports folder\n"), qPrintable(tip));
        QVERIFY2(tip.contains("\ndescription: <i>FT232R</i> USB UART"), qPrintable(tip));
    }
};

QTEST_MAIN(PortsWindowTest)
#include "tst_ports_window.moc"
