// korvane-ports: what the technician reads and which links end up in the ports folder, on
// pseudo-terminals standing in for USB-serial adapters. Where a test machine cannot show a case
// (an adapter with USB ids, a user outside the dialout group) the system is stood in for.
#include "app/ports.h"
#include "link/port_names.h"
#include "support/pty.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace portstool;

namespace {

QString linkTarget(int com)
{
    return QFileInfo(ports::entryPath(com)).symLinkTarget();
}

bool entryPresent(int com)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(ports::entryPath(com)).constData(), &st) == 0;
}

// The real system, except that the user may not open anything and the account has no group.
PortsSystem lockedOut(const QString& group, bool inAccount = false, bool inSession = false)
{
    PortsSystem s = PortsSystem::real();
    s.sudoUser.clear();
    s.access = [=](const QString& path) {
        Access a = probe(path);
        a.readWrite = false;
        a.group = group;
        a.mode = QStringLiteral("crw-rw----");
        a.groupInAccount = inAccount;
        a.groupInSession = inSession;
        return a;
    };
    return s;
}

PortsSystem plain()
{
    PortsSystem s = PortsSystem::real();
    s.sudoUser.clear();
    s.devices = [] { return QList<Device>{}; };
    return s;
}

// The lines of the device list that belong to one device: its heading and the indented lines below.
QStringList deviceBlock(const QString& out, const QString& path)
{
    QStringList block;
    bool inside = false;
    for (const QString& line : out.split(u'\n')) {
        if (line.startsWith(QStringLiteral("  ") + path)) {
            inside = true;
            block << line;
        } else if (inside && line.startsWith(QStringLiteral("      "))) {
            block << line;
        } else if (inside) {
            break;
        }
    }
    return block;
}

QString comLine(const QString& out, int n)
{
    for (const QString& line : out.split(u'\n'))
        if (line.startsWith(QStringLiteral("  COM%1  ").arg(n)))
            return line;
    return {};
}

}  // namespace

class PortsToolTest : public QObject {
    Q_OBJECT
private slots:
    void comNumbersAndDeviceNames()
    {
        for (int n = 1; n <= 9; ++n) {
            QCOMPARE(comNumber(QStringLiteral("COM%1").arg(n)), n);
            QCOMPARE(comNumber(QStringLiteral("com%1").arg(n)), n);
        }
        QCOMPARE(comNumber("Com4"), 4);
        for (const char* bad : {"COM0", "COM10", "COM 4", " COM4", "COM4 ", "4", "", "COM", "COM04", "COMa",
                                "TTY4"})
            QVERIFY2(comNumber(QString::fromLatin1(bad)) == -1, bad);
        QCOMPARE(comNumber(QStringLiteral("COM\u0664")), -1);   // a digit, but not one the window knows

        QCOMPARE(devicePathFor("ttyUSB0", "/dev"), QString("/dev/ttyUSB0"));
        QCOMPARE(devicePathFor("/dev/ttyACM1", "/dev"), QString("/dev/ttyACM1"));
        QCOMPARE(devicePathFor("serial/by-id/usb-X-if00", "/dev"), QString("/dev/serial/by-id/usb-X-if00"));
        QCOMPARE(devicePathFor("/dev/../dev/ttyUSB0", "/dev"), QString("/dev/ttyUSB0"));
        QCOMPARE(devicePathFor("3", "/dev/pts"), QString("/dev/pts/3"));
    }

    void linkCreatesReplacesAndKeeps()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QVERIFY(!QFileInfo::exists(ports::folder()));   // a first link makes the folder
        Pty a, b;

        Result r = run({"link", "COM4", a.slave}, plain());
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(r.out, QStringLiteral("COM4 -> %1 (was /dev/ttyS3)\n").arg(a.slave));
        QCOMPARE(r.err, QString());
        QCOMPARE(linkTarget(4), a.slave);
        QCOMPARE(ports::devicePath(4), ports::entryPath(4));   // the window now opens the adapter

        r = run({"link", "COM4", b.slave}, plain());
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(r.out, QStringLiteral("COM4 -> %1 (replaced COM4 -> %2)\n").arg(b.slave, a.slave));
        QCOMPARE(linkTarget(4), b.slave);

        r = run({"link", "com4", b.slave}, plain());
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(r.out, QStringLiteral("COM4 is already linked to %1.\n").arg(b.slave));
        QCOMPARE(linkTarget(4), b.slave);

        // A link left by an unplugged adapter is replaced, and the message says it was dangling.
        QVERIFY(QFile::link(config.path() + "/gone", ports::entryPath(5)));
        r = run({"link", "COM5", a.slave}, plain());
        QCOMPARE(r.code, int(Ok));
        QVERIFY2(r.out.contains(QStringLiteral("replaced COM5 -> %1/gone, which was gone").arg(config.path())),
                 qPrintable(r.out));
        QCOMPARE(linkTarget(5), a.slave);

        // A bare name is looked up in the device folder.
        PortsSystem s = plain();
        s.devFolder = QFileInfo(a.slave).absolutePath();
        r = run({"link", "COM9", QFileInfo(a.slave).fileName()}, s);
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(linkTarget(9), a.slave);

        // Nothing but the links is left behind in the folder.
        QCOMPARE(QDir(ports::folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 (QStringList{"COM4", "COM5", "COM9"}));
    }

    void refusalsLeaveTheFolderAlone()
    {
        PortsFolder folder;
        Pty a;
        QCOMPARE(run({"link", "COM4", a.slave}, plain()).code, int(Ok));

        const QString missing = folder.dir.path() + "/ttyUSB7";
        Result r = run({"link", "COM4", missing}, plain());
        QCOMPARE(r.code, int(UserError));
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(QStringLiteral("there is no device %1").arg(missing)), qPrintable(r.err));
        QVERIFY(r.err.contains("korvane-ports list"));
        QVERIFY(r.err.contains("COM4 is unchanged"));
        QCOMPARE(linkTarget(4), a.slave);
        r = run({"link", "COM6", "ttyUSB7"}, [&] { PortsSystem s = plain(); s.devFolder = folder.dir.path(); return s; }());
        QCOMPARE(r.code, int(UserError));
        QVERIFY(r.err.contains(missing));
        QVERIFY(!entryPresent(6));

        QFile plainFile(folder.dir.path() + "/notes.txt");
        QVERIFY(plainFile.open(QIODevice::WriteOnly));
        plainFile.close();
        r = run({"link", "COM6", plainFile.fileName()}, plain());
        QCOMPARE(r.code, int(UserError));
        QVERIFY2(r.err.contains(QStringLiteral("%1 is not a serial device (not a character device)")
                                    .arg(plainFile.fileName())),
                 qPrintable(r.err));
        QVERIFY(!entryPresent(6));
        // A character device of another kind, such as a mouse, is no serial line either.
        PortsSystem mouse = plain();
        mouse.access = [](const QString& path) {
            Access x = probe(path);
            x.deviceClass = QStringLiteral("input");
            return x;
        };
        r = run({"link", "COM6", a.slave}, mouse);
        QCOMPARE(r.code, int(UserError));
        QVERIFY2(r.err.contains(QStringLiteral("%1 is not a serial device (kernel class input, not tty)").arg(a.slave)),
                 qPrintable(r.err));
        QVERIFY(!entryPresent(6));

        // An entry someone put there by hand that is not a link is not ours to replace or remove.
        QVERIFY(QDir().mkpath(ports::entryPath(7)));
        r = run({"link", "COM7", a.slave}, plain());
        QCOMPARE(r.code, int(UserError));
        QVERIFY2(r.err.contains("is a folder, not a link"), qPrintable(r.err));
        r = run({"unlink", "COM7"}, plain());
        QCOMPARE(r.code, int(UserError));
        QVERIFY(r.err.contains("is a folder, not a link"));
        QVERIFY(QFileInfo(ports::entryPath(7)).isDir());

        const QList<QStringList> misuse = {
            {"link", "COM10", a.slave}, {"link", "COM0", a.slave}, {"link", "4", a.slave}, {"link", "COM4"},
            {"link", "COM4", a.slave, "extra"}, {"link", "COM4", ""}, {"unlink"}, {"unlink", "COM12"},
            {"list", "COM4"}, {"connect", "COM4"}, {"--verbose"}};
        for (const QStringList& args : misuse) {
            r = run(args, plain());
            QVERIFY2(r.code == UserError, qPrintable(args.join(' ')));
            QVERIFY2(r.err.startsWith("korvane-ports: ") && r.err.contains("--help"), qPrintable(r.err));
            QCOMPARE(r.out, QString());
        }
        QVERIFY(run({"link", "COM10", a.slave}, plain()).err.contains("\"COM10\" is not a COM number: use COM1 to COM9"));
        QCOMPARE(linkTarget(4), a.slave);
        QCOMPARE(QDir(ports::folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 (QStringList{"COM4", "COM7"}));
    }

    void unlinkReturnsTheBuiltInPort()
    {
        PortsFolder folder;
        Pty a;
        QCOMPARE(run({"link", "COM3", a.slave}, plain()).code, int(Ok));
        Result r = run({"unlink", "COM3"}, plain());
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(r.out, QStringLiteral("COM3 is no longer linked to %1; it is /dev/ttyS2 again.\n").arg(a.slave));
        QVERIFY(!entryPresent(3));
        QCOMPARE(ports::devicePath(3), QString("/dev/ttyS2"));
        QVERIFY(QFileInfo::exists(a.slave));   // the device itself is untouched

        r = run({"unlink", "com3"}, plain());
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(r.out, QString("COM3 had no link; it is /dev/ttyS2.\n"));

        QVERIFY(QFile::link(folder.dir.path() + "/gone", ports::entryPath(8)));   // dangling links go too
        r = run({"unlink", "COM8"}, plain());
        QCOMPARE(r.code, int(Ok));
        QVERIFY(!entryPresent(8));
    }

    void permissionWarningNamesTheGroupAndStillLinks()
    {
        PortsFolder folder;
        Pty a;
        Result r = run({"link", "COM2", a.slave}, lockedOut("dialout"));
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(linkTarget(2), a.slave);
        QCOMPARE(r.out, QStringLiteral("COM2 -> %1 (was /dev/ttyS1)\n").arg(a.slave));
        QVERIFY2(r.err.startsWith(QStringLiteral("warning: you may not open %1 for reading and writing "
                                                 "(group dialout, crw-rw----); OPEN in the window would show 8010.")
                                      .arg(a.slave)),
                 qPrintable(r.err));
        QVERIFY(r.err.contains("Serial devices belong to the dialout group"));
        QVERIFY(r.err.contains("    sudo usermod -aG dialout $USER\n"));
        QVERIFY(r.err.contains("then log out and in again"));
        QVERIFY(r.err.endsWith("COM2 is linked all the same.\n"));

        // Already in the group, but this login predates it: a new login is the fix, not usermod.
        r = run({"link", "COM2", a.slave}, lockedOut("dialout", true, false));
        QCOMPARE(r.code, int(Ok));
        QVERIFY2(r.err.contains("You are in the dialout group, but this login started before you joined it"),
                 qPrintable(r.err));
        QVERIFY(!r.err.contains("usermod"));

        // Another system's serial group is named as it is; a root-only device points to dialout.
        QVERIFY(run({"link", "COM2", a.slave}, lockedOut("uucp")).err.contains("sudo usermod -aG uucp $USER"));
        QVERIFY(run({"link", "COM2", a.slave}, lockedOut("root")).err.contains("sudo usermod -aG dialout $USER"));
        QVERIFY(accessWarning(a.slave, probe(a.slave)).isEmpty());   // the test's own terminal is ours

        // A missing device is refused before any thought of rights.
        r = run({"link", "COM5", folder.dir.path() + "/ttyUSB0"}, lockedOut("dialout"));
        QCOMPARE(r.code, int(UserError));
        QVERIFY(!r.err.contains("usermod"));
    }

    void sudoIsCalledOut()
    {
        PortsFolder folder;
        Pty a;
        PortsSystem s = plain();
        s.sudoUser = QStringLiteral("tech");
        Result r = run({"link", "COM1", a.slave}, s);
        QCOMPARE(r.code, int(Ok));
        QVERIFY2(r.err.contains(QStringLiteral("as root through sudo, so this changes root's ports folder (%1), "
                                               "which the window started by tech does not read")
                                    .arg(ports::folder())),
                 qPrintable(r.err));
        QVERIFY(run({"unlink", "COM1"}, s).err.contains("through sudo"));
        QCOMPARE(run({"link", "COM1", a.slave}, plain()).err, QString());
    }

    void probeReadsTheDevice()
    {
        QTemporaryDir dir;
        Pty a;
        const Access pty = probe(a.slave);
        QVERIFY(pty.exists && pty.characterDevice && pty.readWrite);
        QVERIFY2(pty.mode.startsWith("crw"), qPrintable(pty.mode));

        const QString file = dir.path() + "/f";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0640) == 0);
        const Access regular = probe(file);
        QVERIFY(regular.exists && !regular.characterDevice);
        QCOMPARE(regular.mode, QString("-rw-r-----"));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(file).constData(), &st) == 0);
        QCOMPARE(regular.group, QString::fromLocal8Bit(::getgrgid(st.st_gid)->gr_name));
        QVERIFY(regular.groupInSession);   // a file we made carries one of our groups

        QVERIFY(serialDevice(pty));   // pseudo-terminals have no class entry, and are serial lines
        if (QFileInfo::exists("/sys/dev/char/1:3")) {
            const Access null = probe("/dev/null");
            QCOMPARE(null.deviceClass, QString("mem"));
            QVERIFY(null.characterDevice && !serialDevice(null));
        }
        QVERIFY(!serialDevice(regular));

        const Access none = probe(dir.path() + "/nothing");
        QVERIFY(!none.exists && !none.readWrite);
        QVERIFY(accessWarning(dir.path() + "/nothing", none).isEmpty());
    }

    void listShowsDevicesAndEveryComNumber()
    {
        PortsFolder folder;
        Pty a, b, c;
        QVERIFY(run({"link", "COM4", a.slave}, plain()).code == Ok);
        QVERIFY(folder.link(5, folder.dir.path() + "/unplugged"));
        QVERIFY(QDir().mkpath(ports::entryPath(6)));
        QVERIFY(folder.link(7, c.slave));

        PortsSystem s = plain();
        s.devices = [&] {
            Device ftdi;
            ftdi.path = a.slave;
            ftdi.description = "FT232R USB UART";
            ftdi.manufacturer = "FTDI";
            ftdi.serialNumber = "A50285BI";
            ftdi.hasUsbIds = true;
            ftdi.vendor = 0x0403;
            ftdi.product = 0x6001;
            ftdi.stableNames = {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
            Device bare;
            bare.path = b.slave;
            bare.description = "ttyS-like";
            return QList<Device>{ftdi, bare};
        };
        // Built-in ports and the third terminal are what this user may not use.
        s.access = [&](const QString& path) {
            if (path.startsWith("/dev/ttyS"))
                return Access{};
            Access x = probe(path);
            if (QFileInfo(path).canonicalFilePath() == c.slave) {
                x.readWrite = false;
                x.group = "dialout";
            }
            return x;
        };
        const Result r = run({}, s);
        QCOMPARE(r.code, int(Ok));
        QCOMPARE(r.err, QString());
        QCOMPARE(run({"list"}, s).out, r.out);
        const QString& out = r.out;
        QVERIFY2(out.startsWith("Serial devices present:\n"), qPrintable(out));

        const QStringList ftdi = deviceBlock(out, a.slave);
        QCOMPARE(ftdi.value(0), QStringLiteral("  %1  (COM4)").arg(a.slave));
        QCOMPARE(ftdi.mid(1), (QStringList{
                                  "      description    FT232R USB UART",
                                  "      manufacturer   FTDI",
                                  "      serial number  A50285BI",
                                  "      USB id         0403:6001",
                                  "      stable name    /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"}));
        // What Qt does not know is left out rather than shown empty.
        QCOMPARE(deviceBlock(out, b.slave), (QStringList{QStringLiteral("  %1").arg(b.slave),
                                                         "      description    ttyS-like"}));

        QVERIFY(out.contains(QStringLiteral("\nCOM numbers (ports folder %1):\n").arg(ports::folder())));
        int comLines = 0;
        for (const QString& line : out.split(u'\n'))
            comLines += line.startsWith("  COM") ? 1 : 0;
        QCOMPARE(comLines, 9);
        QVERIFY2(comLine(out, 1).contains("/dev/ttyS0  (built-in, no link)"), qPrintable(comLine(out, 1)));
        QVERIFY(comLine(out, 1).endsWith("missing: OPEN shows 8002"));
        QVERIFY(comLine(out, 9).contains("/dev/ttyS8  (built-in, no link)"));
        QVERIFY(comLine(out, 4).contains(QStringLiteral("-> %1").arg(a.slave)));
        QVERIFY(comLine(out, 4).endsWith("  present"));
        QVERIFY(comLine(out, 5).contains(QStringLiteral("-> %1/unplugged").arg(folder.dir.path())));
        QVERIFY(comLine(out, 5).endsWith("missing: OPEN shows 8002"));
        QVERIFY(comLine(out, 6).contains(QStringLiteral("%1  (a folder, not a link)").arg(ports::entryPath(6))));
        QVERIFY(comLine(out, 6).endsWith("not a serial device: OPEN shows 8002"));
        QVERIFY(comLine(out, 7).endsWith("present, but you may not open it: OPEN shows 8010"));
        QVERIFY(out.contains("You may not open some of these devices. Serial devices belong to the dialout group"));
        QVERIFY(out.contains("sudo usermod -aG dialout $USER"));

        // Nothing plugged in, nothing locked: the technician is told what to do next.
        s.devices = [] { return QList<Device>{}; };
        QVERIFY(::unlink(QFile::encodeName(ports::entryPath(7)).constData()) == 0);
        const QString empty = run({"list"}, s).out;
        QVERIFY(empty.startsWith("Serial devices present:\n  none found. Connect the USB-serial cable"));
        QVERIFY(!empty.contains("usermod"));
        QVERIFY(empty.contains("korvane-ports link COM4 /dev/ttyUSB0"));
    }

    void stableNamesComeFromSerialById()
    {
        QTemporaryDir dev;
        Pty a, b;
        const QString byId = dev.path() + "/serial/by-id";
        QVERIFY(QDir().mkpath(byId));
        QVERIFY(QFile::link(a.slave, byId + "/usb-Prolific_PL2303-if00-port0"));
        QVERIFY(QFile::link(a.slave, byId + "/usb-Alias-if00-port0"));
        QVERIFY(QFile::link(b.slave, byId + "/usb-FTDI_FT232R_A1-if00-port0"));
        QVERIFY(QFile::link(dev.path() + "/gone", byId + "/usb-Gone-if00-port0"));
        QCOMPARE(stableNamesOf(a.slave, dev.path()),
                 (QStringList{byId + "/usb-Alias-if00-port0", byId + "/usb-Prolific_PL2303-if00-port0"}));
        QCOMPARE(stableNamesOf(b.slave, dev.path()), QStringList{byId + "/usb-FTDI_FT232R_A1-if00-port0"});
        QCOMPARE(stableNamesOf(dev.path() + "/gone", dev.path()), QStringList{});
    }

    void helpTellsTheCommandsAndTheFolder()
    {
        PortsFolder folder;
        for (const char* option : {"--help", "-h", "help"}) {
            const Result r = run({option}, plain());
            QCOMPARE(r.code, int(Ok));
            QCOMPARE(r.err, QString());
            QVERIFY(r.out.startsWith("Usage: korvane-ports [list]\n"));
            for (const char* part : {"korvane-ports link COMn DEVICE", "korvane-ports unlink COMn",
                                     "sudo usermod -aG dialout $USER", "com4 is COM4", "Exit status: 0"})
                QVERIFY2(r.out.contains(part), part);
            QVERIFY(r.out.contains(QStringLiteral("Ports folder: %1\n").arg(ports::folder())));
        }
    }
};

QTEST_GUILESS_MAIN(PortsToolTest)
#include "tst_ports_tool.moc"
