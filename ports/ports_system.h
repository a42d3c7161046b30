#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// What korvane-ports looks at and changes on the system: the serial devices present, what the
// current user may do with a device, the entries of the ports folder (link/port_names.h), and the
// making and removing of those links. No wording here: ports/ports.cpp turns it into the command's
// text. The looking comes in through PortsSystem, so that tests can stand in for what a test
// machine lacks (USB adapters, a user without rights).
namespace portstool {

// A serial device as Qt's serial port info describes it. Empty strings are what Qt did not know.
struct Device {
    QString path;              // /dev/ttyUSB0
    QString description;
    QString manufacturer;
    QString serialNumber;
    bool hasUsbIds = false;
    quint16 vendor = 0;
    quint16 product = 0;
    QStringList stableNames;   // /dev/serial/by-id/... links that name this device
};

// What the current user may do with a device.
struct Access {
    bool exists = false;
    bool characterDevice = false;
    QString deviceClass;         // the kernel's class of a character device ("tty", "mem", ...), if known
    // A terminal of the system itself, of class tty but with no line behind it: /dev/ptmx (each
    // open makes a new pseudo-terminal), /dev/tty, the console, the virtual consoles.
    bool systemTerminal = false;
    bool readWrite = false;      // the user may open it for reading and writing
    QString group;               // the device's group, e.g. "dialout"
    QString mode;                // e.g. "crw-rw----"
    bool groupInSession = false; // this login already carries the device's group
    bool groupInAccount = false; // the account database lists the user in that group
};

struct PortsSystem {
    std::function<QList<Device>()> devices;
    std::function<Access(const QString& path)> access;
    QString devFolder = QStringLiteral("/dev");   // where a bare name such as ttyUSB0 is looked up
    QString sudoUser;   // set when run through sudo with root's ports folder: the window will not see it

    static PortsSystem real();
};

// What sits at a ports-folder entry, without following it.
struct Entry {
    bool present = false;
    bool symlink = false;
    QString target;   // the link's text, as written
    bool targetExists = false;   // the link leads to something
    QString kind;     // for an entry that is not a link: "folder", "regular file", ...
};

QList<Device> presentDevices(const QString& devFolder = QStringLiteral("/dev"));
// Their paths: what a station watches when told to watch every serial device.
QStringList presentPaths();
QStringList stableNamesOf(const QString& device, const QString& devFolder);   // its serial/by-id links
Access probe(const QString& path);
bool serialDevice(const Access& access);   // could be a serial line; false for /dev/null, /dev/ptmx and the like
Entry lookEntry(const QString& path);
QString canonical(const QString& path);    // symbolic links resolved where they lead anywhere
QString builtinPath(int com);              // the device COMn is without a link: /dev/ttyS<n-1>

// Point `entry` at `device`, replacing a link already there in one step. Returns the system's
// reason when it cannot, else an empty string.
QString replaceLink(const QString& entry, const QString& device);
QString removeLink(const QString& entry);

}  // namespace portstool
