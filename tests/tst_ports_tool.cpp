// korvane-ports: what the technician reads and the links it leaves, on ptys standing in for adapters.
#include "ports/ports.h"
#include "link/port_names.h"
#include "support/pty.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

using namespace portstool;

namespace {

QString linkTarget(int com) { return QFileInfo(ports::entryPath(com)).symLinkTarget(); }
bool entryPresent(int com) { return QFileInfo::exists(ports::entryPath(com)) || QFileInfo(ports::entryPath(com)).isSymLink(); }

// Where the machine cannot show a case (an adapter with USB ids, a user outside the dialout group)
// the system is stood in for.
PortsSystem plain()
{
    PortsSystem s = PortsSystem::real();
    s.sudoUser.clear();
    s.devices = [] { return QList<Device>{}; };
    return s;
}

// The user may open nothing, and the device belongs to `group`.
PortsSystem lockedOut(const QString& group, bool inAccount = false)
{
    PortsSystem s = plain();
    s.access = [=](const QString& path) {
        Access a = probe(path);
        a.readWrite = false;
        a.group = group;
        a.mode = QStringLiteral("crw-rw----");
        a.groupInAccount = inAccount;
        a.groupInSession = false;
        return a;
    };
    return s;
}

}  // namespace

class PortsToolTest : public QObject {
    Q_OBJECT
private slots:
    void linkReplaceAndUnlink()
    {
        PortsFolder folder;
        Pty a, b;
        Result r = run({"link", "COM4", a.slave}, plain());
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(r.out, QStringLiteral("COM4 -> %1 (was /dev/ttyS3)\n").arg(a.slave));
        QCOMPARE(ports::devicePath(4), ports::entryPath(4));   // the window now opens the adapter
        PortsSystem devices = plain();                         // a bare name is under the device folder
        devices.devFolder = QFileInfo(b.slave).path();
        r = run({"link", "COM4", QFileInfo(b.slave).fileName()}, devices);
        QCOMPARE(r.out, QStringLiteral("COM4 -> %1 (replaced COM4 -> %2)\n").arg(b.slave, a.slave));
        QCOMPARE(linkTarget(4), b.slave);
        r = run({"unlink", "com4"}, plain());
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(r.out, QStringLiteral("COM4 is no longer linked to %1; it is /dev/ttyS3 again.\n").arg(b.slave));
        QVERIFY(!entryPresent(4));
        QVERIFY(QFileInfo::exists(b.slave));   // the device itself is untouched
    }

    void refusalsLeaveTheFolderAlone()
    {
        PortsFolder folder;
        Pty a;
        QCOMPARE(run({"link", "COM4", a.slave}, plain()).code, int(Ok));
        const QString missing = folder.dir.path() + "/ttyUSB7";
        Result r = run({"link", "COM4", missing}, plain());
        QCOMPARE(r.code, int(UserError));
        QVERIFY2(r.err.contains(QStringLiteral("there is no device %1").arg(missing)), qPrintable(r.err));
        QCOMPARE(linkTarget(4), a.slave);
        QFile notes(folder.dir.path() + "/notes.txt");
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.close();
        r = run({"link", "COM6", notes.fileName()}, plain());
        QCOMPARE(r.code, int(UserError));
        QVERIFY(r.err.contains("is not a serial device"));
        QVERIFY(!entryPresent(6));
        QVERIFY(QDir().mkpath(ports::entryPath(7)));   // put there by hand: not ours to replace
        QCOMPARE(run({"link", "COM7", a.slave}, plain()).code, int(UserError));
        QVERIFY(QFileInfo(ports::entryPath(7)).isDir());
        for (const QStringList& args : QList<QStringList>{{"link", "COM10", a.slave}, {"link", "COM0", a.slave},
                                                          {"link", "COM 4", a.slave}, {"unlink", "4"},
                                                          {"link", "COM4"}, {"unlink"}}) {
            r = run(args, plain());
            QVERIFY2(r.code == UserError && r.err.contains("--help"), qPrintable(args.join(' ')));
        }
    }

    // The system's own terminals are of the tty class too, but no tracker is ever behind them:
    // /dev/ptmx makes a new pseudo-terminal on each open, /dev/tty is whoever runs the program.
    void theSystemsOwnTerminalsAreRefused_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("ptmx, by its bare name") << "ptmx";
        QTest::newRow("/dev/tty") << "/dev/tty";
        QTest::newRow("the console") << "/dev/console";
        QTest::newRow("a virtual console") << "/dev/tty1";
    }
    void theSystemsOwnTerminalsAreRefused()
    {
        QFETCH(QString, target);
        const QString device = devicePathFor(target, "/dev");
        if (!QFileInfo::exists(device))
            QSKIP("this machine has no such device");
        PortsFolder folder;
        const Result r = run({"link", "COM5", target}, plain());
        QCOMPARE(r.code, int(UserError));
        QCOMPARE(r.err, QStringLiteral("korvane-ports: %1 is not a serial device (a terminal of the system, with no "
                                       "serial line behind it); COM5 is unchanged.\n").arg(device));
        QVERIFY(!entryPresent(5));
    }

    // A serial port of the machine, where it has one, and a pseudo-terminal (a simulator) still link.
    void serialLinesStillLink()
    {
        PortsFolder folder;
        Pty a;
        QCOMPARE(run({"link", "COM4", a.slave}, plain()).code, int(Ok));
        if (!QFileInfo::exists("/dev/ttyS0"))
            QSKIP("this machine has no /dev/ttyS0");
        const Result r = run({"link", "COM1", "ttyS0"}, plain());
        QVERIFY2(r.code == Ok, qPrintable(r.err));
        QCOMPARE(linkTarget(1), QString("/dev/ttyS0"));
    }

    // A name typed with an ESC or OSC sequence comes back escaped: the terminal shows it, obeys none.
    void typedNamesComeBackEscaped()
    {
        PortsFolder folder;
        const Result r = run({"link", "COM4", QStringLiteral("/dev/tty\x1b]0;owned\x07")}, plain());
        QCOMPARE(r.code, int(UserError));
        QVERIFY2(r.err.startsWith(QStringLiteral("korvane-ports: there is no device /dev/tty\\x1b]0;owned\\x07.")),
                 qPrintable(r.err));
        const Result unknown = run({QChar(0x9b) + QStringLiteral("2J")}, plain());
        QCOMPARE(unknown.err, QStringLiteral("korvane-ports: unknown command \"\\x9b2J\"\nSee korvane-ports --help.\n"));
    }

    // Every option of the help is in the manual page.
    void theManualNamesEveryOption()
    {
        QFile page(QStringLiteral(KORVANE_SOURCE_DIR "/docs/man/korvane-ports.1"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        for (const char* option : {"\\-\\-help", "\\-\\-version"})
            QVERIFY2(text.contains(QLatin1String(option)), option);
        QVERIFY(helpText().contains("--help | --version"));
    }

    void permissionWarningNamesTheGroupAndStillLinks()
    {
        PortsFolder folder;
        Pty a;
        Result r = run({"link", "COM2", a.slave}, lockedOut("dialout"));
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(linkTarget(2), a.slave);
        QVERIFY2(r.err.contains("OPEN in the window would show 8010"), qPrintable(r.err));
        QVERIFY(r.err.contains("    sudo usermod -aG dialout $USER\n"));
        r = run({"link", "COM2", a.slave}, lockedOut("dialout", true));   // joined, but not logged in again
        QVERIFY(r.err.contains("this login started before you joined it") && !r.err.contains("usermod"));
        QVERIFY(run({"link", "COM2", a.slave}, lockedOut("uucp")).err.contains("sudo usermod -aG uucp $USER"));
    }

    void listShowsDevicesAndEveryComNumber()
    {
        PortsFolder folder;
        Pty a;
        QVERIFY(run({"link", "COM4", a.slave}, plain()).code == Ok);
        QVERIFY(folder.link(5, folder.dir.path() + "/unplugged"));
        PortsSystem s = plain();
        s.devices = [&] {
            return QList<Device>{{.path = a.slave, .description = "FT232R USB UART", .manufacturer = "FTDI",
                                  .hasUsbIds = true, .vendor = 0x0403, .product = 0x6001}};
        };
        const QString out = run({"list"}, s).out;
        QVERIFY2(out.contains(QStringLiteral("  %1  (COM4)\n      description    FT232R USB UART\n"
                                             "      manufacturer   FTDI\n      USB id         0403:6001")
                                  .arg(a.slave)),
                 qPrintable(out));
        const QStringList com = out.split('\n').filter(QRegularExpression("^  COM"));
        QVERIFY(com.value(3).contains("-> " + a.slave) && com.value(3).endsWith("  present"));
        QVERIFY(com.value(4).endsWith("missing: OPEN shows 8002"));
        QVERIFY(com.value(8).contains("/dev/ttyS8  (built-in, no link)"));
    }
};

QTEST_GUILESS_MAIN(PortsToolTest)
#include "tst_ports_tool.moc"
