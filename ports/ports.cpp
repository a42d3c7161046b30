#include "ports/ports.h"
#include "link/port_names.h"
#include "link/terminal_text.h"

#include <QDir>

namespace portstool {

namespace {

Result runCommand(const QStringList& args, const PortsSystem& system);

// Not a QString: a global one would be built before main() and torn down after it.
constexpr QLatin1String tool("korvane-ports");

// The group whose members may open the device. A device only root may use still means the usual
// serial group: that is the one an adapter normally comes with.
QString fixGroup(const Access& a)
{
    return a.group.isEmpty() || a.group == QLatin1String("root") ? QStringLiteral("dialout") : a.group;
}

// What OPEN in the window would make of the device, in the terms of its failure numbers.
QString state(const Access& a)
{
    if (!a.exists)
        return QStringLiteral("missing: OPEN shows 8002");
    if (!serialDevice(a))
        return QStringLiteral("not a serial device: OPEN shows 8002");
    if (!a.readWrite)
        return QStringLiteral("present, but you may not open it: OPEN shows 8010");
    return QStringLiteral("present");
}

QString sudoWarning(const PortsSystem& sys)
{
    if (sys.sudoUser.isEmpty())
        return {};
    return QStringLiteral("warning: you run %1 as root through sudo, so this changes root's ports folder "
                          "(%2), which the window started by %3 does not read. Run %1 without sudo: "
                          "it needs no special rights.\n")
        .arg(tool, ports::folder(), sys.sudoUser);
}

Result usageError(const QString& message)
{
    return {UserError, {}, QStringLiteral("%1: %2\nSee %1 --help.\n").arg(tool, message)};
}

Result badCom(const QString& text)
{
    return usageError(QStringLiteral("\"%1\" is not a COM number: use COM1 to COM9").arg(text));
}

Result list(const PortsSystem& sys)
{
    QString out;
    bool anyLocked = false;
    Access lockedSample;

    // Which COM numbers lead to which device, to mark the devices already in use.
    QStringList comDevice(10);
    for (int n = 1; n <= 9; ++n)
        comDevice[n] = canonical(ports::devicePath(n));

    const QList<Device> devices = sys.devices();
    out += QStringLiteral("Serial devices present:\n");
    if (devices.isEmpty())
        out += QStringLiteral("  none found. Connect the USB-serial cable (and the tracker's power), "
                              "then run %1 again.\n").arg(tool);
    for (const Device& d : devices) {
        QStringList coms;
        const QString c = canonical(d.path);
        for (int n = 1; n <= 9; ++n)
            if (comDevice[n] == c)
                coms << QStringLiteral("COM") + QString::number(n);
        out += QStringLiteral("  ") + d.path;
        if (!coms.isEmpty())
            out += QStringLiteral("  (") + coms.join(QStringLiteral(", ")) + u')';
        out += u'\n';
        const auto field = [&out](const char* label, const QString& value) {
            if (!value.isEmpty())
                out += QStringLiteral("      ") + QString::fromLatin1(label).leftJustified(14) + u' ' + value + u'\n';
        };
        field("description", d.description);
        field("manufacturer", d.manufacturer);
        field("serial number", d.serialNumber);
        if (d.hasUsbIds)
            field("USB id", QStringLiteral("%1:%2").arg(d.vendor, 4, 16, QLatin1Char('0'))
                                .arg(d.product, 4, 16, QLatin1Char('0')));
        for (const QString& s : d.stableNames)
            field("stable name", s);
        const Access a = sys.access(d.path);
        if (a.exists && !a.readWrite) {
            field("access", QStringLiteral("you may not open it (group %1, %2)").arg(a.group, a.mode));
            anyLocked = true;
            lockedSample = a;
        }
    }

    out += QStringLiteral("\nCOM numbers (ports folder %1):\n").arg(ports::folder());
    for (int n = 1; n <= 9; ++n) {
        const ComView view = viewCom(n, sys, devices);
        if (view.access.exists && serialDevice(view.access) && !view.access.readWrite) {
            anyLocked = true;
            lockedSample = view.access;
        }
        out += QStringLiteral("  COM") + QString::number(n) + QStringLiteral("  ") + comWhere(view).leftJustified(34)
               + QStringLiteral("  ") + comState(view) + u'\n';
    }

    if (anyLocked)
        out += QStringLiteral("\nYou may not open some of these devices. ") + accessHint(lockedSample);
    out += QStringLiteral("\nLink a COM number to a device with: %1 link COM4 /dev/ttyUSB0\n").arg(tool);
    return {Ok, out, {}};
}

Result link(const QStringList& args, const PortsSystem& sys)
{
    if (args.size() != 3)
        return usageError(QStringLiteral("link wants a COM number and a device, as in: link COM4 /dev/ttyUSB0"));
    const int n = comNumber(args[1]);
    if (n < 0)
        return badCom(args[1]);
    const QString com = QStringLiteral("COM") + QString::number(n);
    if (args[2].trimmed().isEmpty())
        return usageError(QStringLiteral("the device name is empty"));
    const QString device = devicePathFor(args[2], sys.devFolder);

    const Access a = sys.access(device);
    if (!a.exists)
        return {UserError, {},
                QStringLiteral("%1: there is no device %2. Check that the cable is plugged in; "
                               "\"%1 list\" shows the serial devices present. %3 is unchanged.\n")
                    .arg(tool, device, com)};
    if (!serialDevice(a))
        return {UserError, {},
                QStringLiteral("%1: %2 is not a serial device (%3); %4 is unchanged.\n")
                    .arg(tool, device,
                         !a.characterDevice ? QStringLiteral("not a character device")
                         : a.systemTerminal ? QStringLiteral("a terminal of the system, with no serial line behind it")
                                            : QStringLiteral("kernel class %1, not tty").arg(a.deviceClass),
                         com)};

    const QString entry = ports::entryPath(n);
    const Entry old = lookEntry(entry);
    if (old.present && !old.symlink)
        return {UserError, {},
                QStringLiteral("%1: %2 is a %3, not a link; %4 is left alone. Remove it by hand if it "
                               "is not needed.\n").arg(tool, entry, old.kind, com)};

    Result r;
    r.err += sudoWarning(sys);
    if (old.present && old.target == device) {
        r.out = QStringLiteral("%1 is already linked to %2.\n").arg(com, device);
    } else {
        if (!QDir().mkpath(ports::folder()))
            return {SystemError, {},
                    QStringLiteral("%1: cannot create the ports folder %2.\n").arg(tool, ports::folder())};
        if (const QString why = replaceLink(entry, device); !why.isEmpty())
            return {SystemError, r.out,
                    r.err + QStringLiteral("%1: cannot link %2: %3\n").arg(tool, entry, why)};
        if (old.present)
            r.out = QStringLiteral("%1 -> %2 (replaced %1 -> %3%4)\n")
                        .arg(com, device, old.target,
                             old.targetExists ? QString() : QStringLiteral(", which was gone"));
        else
            r.out = QStringLiteral("%1 -> %2 (was %3)\n").arg(com, device, builtinPath(n));
    }
    if (!a.readWrite)   // still linked: joining the group takes a new login, not a new link
        r.err += accessWarning(device, a) + com + QStringLiteral(" is linked all the same.\n");
    return r;
}

Result unlink(const QStringList& args, const PortsSystem& sys)
{
    if (args.size() != 2)
        return usageError(QStringLiteral("unlink wants one COM number, as in: unlink COM4"));
    const int n = comNumber(args[1]);
    if (n < 0)
        return badCom(args[1]);
    const QString com = QStringLiteral("COM") + QString::number(n);
    const QString entry = ports::entryPath(n);
    const Entry e = lookEntry(entry);
    if (!e.present)
        return {Ok, QStringLiteral("%1 had no link; it is %2.\n").arg(com, builtinPath(n)), sudoWarning(sys)};
    if (!e.symlink)
        return {UserError, {},
                QStringLiteral("%1: %2 is a %3, not a link; it is left alone. Remove it by hand if it "
                               "is not needed.\n").arg(tool, entry, e.kind)};
    if (const QString why = removeLink(entry); !why.isEmpty())
        return {SystemError, {}, QStringLiteral("%1: cannot remove %2: %3\n").arg(tool, entry, why)};
    return {Ok, QStringLiteral("%1 is no longer linked to %2; it is %3 again.\n").arg(com, e.target, builtinPath(n)),
            sudoWarning(sys)};
}

}  // namespace

int comNumber(const QString& text)
{
    if (text.size() != 4 || !text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return -1;
    const QChar d = text[3];
    return d >= u'1' && d <= u'9' ? d.digitValue() : -1;
}

QString devicePathFor(const QString& argument, const QString& devFolder)
{
    // A bare name is what the kernel log and the device list show (ttyUSB0); anything relative,
    // such as serial/by-id/..., is taken under /dev as well.
    if (QDir::isAbsolutePath(argument))
        return QDir::cleanPath(argument);
    return QDir::cleanPath(devFolder + u'/' + argument);
}

QString accessHint(const Access& a)
{
    const QString group = fixGroup(a);
    if (a.groupInAccount && !a.groupInSession)
        return QStringLiteral("You are in the %1 group, but this login started before you joined it: "
                              "log out and in again (or restart the computer).\n").arg(group);
    return QStringLiteral("Serial devices belong to the %1 group; add yourself to it with\n"
                          "    sudo usermod -aG %1 $USER\n"
                          "then log out and in again.\n").arg(group);
}

ComView viewCom(int n, const PortsSystem& sys, const QList<Device>& devices)
{
    ComView v;
    v.number = n;
    v.entry = lookEntry(ports::entryPath(n));
    if (!v.entry.present)
        v.device = builtinPath(n);
    else if (v.entry.symlink)
        v.device = v.entry.target;
    else
        v.device = ports::entryPath(n);
    v.access = sys.access(v.entry.present ? ports::entryPath(n) : v.device);
    const QString leadsTo = canonical(v.entry.present ? ports::entryPath(n) : v.device);
    for (const Device& d : devices)
        if (canonical(d.path) == leadsTo)
            v.present = d;
    return v;
}

QString comWhere(const ComView& v)
{
    if (!v.entry.present)
        return v.device + QStringLiteral("  (built-in, no link)");
    if (v.entry.symlink)
        return QStringLiteral("-> ") + v.device;
    return ports::entryPath(v.number) + QStringLiteral("  (a %1, not a link)").arg(v.entry.kind);
}

QString comState(const ComView& v)
{
    return state(v.access);
}

QString comDescription(const ComView& v)
{
    QString text = QStringLiteral("COM%1: %2").arg(v.number).arg(v.device);
    if (v.present && v.present->path != v.device)
        text += QStringLiteral(" (%1)").arg(v.present->path);
    text += v.entry.present ? QStringLiteral(", linked in the ports folder") : QStringLiteral(", built-in, no link");
    text += u'\n' + comState(v);
    if (v.present) {
        const Device& d = *v.present;
        for (const auto& [label, value] : {std::pair{"description", d.description},
                                           std::pair{"manufacturer", d.manufacturer},
                                           std::pair{"serial number", d.serialNumber}})
            if (!value.isEmpty())
                text += QStringLiteral("\n%1: %2").arg(QLatin1String(label), value);
    }
    return text;
}

QString linkName(const Device& device)
{
    return device.stableNames.isEmpty() ? device.path : device.stableNames.constFirst();
}

QString accessWarning(const QString& path, const Access& access)
{
    if (!access.exists || access.readWrite)
        return {};
    return QStringLiteral("warning: you may not open %1 for reading and writing (group %2, %3); OPEN in "
                          "the window would show 8010.\n").arg(path, access.group, access.mode)
           + accessHint(access);
}

QString helpText()
{
    return QStringLiteral(
               "Usage: %1 [list]\n"
               "       %1 link COMn DEVICE\n"
               "       %1 unlink COMn\n"
               "       %1 --help | --version\n"
               "\n"
               "The Korvane window offers COM1 to COM9. A COM number is the device its link in the\n"
               "ports folder points to, or else the built-in port /dev/ttyS<n-1> (COM1 is /dev/ttyS0).\n"
               "Ports folder: %2\n"
               "\n"
               "  list              the serial devices present (description, manufacturer, serial\n"
               "                    number, USB vendor:product) and the device behind each COM number\n"
               "  link COMn DEVICE  make COMn that device: a path such as /dev/ttyUSB0 or\n"
               "                    /dev/serial/by-id/usb-..., or a name under /dev such as ttyUSB0\n"
               "  unlink COMn       remove COMn's link; COMn is the built-in port again\n"
               "\n"
               "COM numbers are COM1 to COM9, in any letter case (com4 is COM4).\n"
               "To open a device you must be in its group, usually dialout:\n"
               "    sudo usermod -aG dialout $USER   (then log out and in again)\n"
               "\n"
               "Exit status: 0 done, 1 wrong use or a missing device, 2 the system refused.\n")
        .arg(tool, ports::folder());
}

Result run(const QStringList& args, const PortsSystem& system)
{
    // Names the user typed come back in the messages: escaped, a terminal shows them and obeys none.
    Result r = runCommand(args, system);
    r.out = text::escapeControls(r.out);
    r.err = text::escapeControls(r.err);
    return r;
}

namespace {

Result runCommand(const QStringList& args, const PortsSystem& system)
{
    if (args.isEmpty() || args[0] == QLatin1String("list")) {
        if (args.size() > 1)
            return usageError(QStringLiteral("list takes nothing more"));
        return list(system);
    }
    const QString& command = args[0];
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help"))
        return {Ok, helpText(), {}};
    if (command == QLatin1String("--version") || command == QLatin1String("-v"))
        return {Ok, QStringLiteral("%1 %2\n").arg(tool, QStringLiteral(KORVANE_VERSION)), {}};
    if (command == QLatin1String("link"))
        return link(args, system);
    if (command == QLatin1String("unlink"))
        return unlink(args, system);
    return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
}

}  // namespace

}  // namespace portstool
