#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// korvane-ports: shows the serial devices present and the device behind each of COM1..COM9, and
// links or unlinks a COM number in the ports folder (link/port_names.h). Everything the command
// does is in run(), which returns its output instead of printing it, so that tests drive it
// without starting a process. The system it looks at comes in through PortsSystem, so that tests
// can stand in for what a test machine lacks (USB adapters, a user without rights).
namespace portstool {

enum Exit { Ok = 0, UserError = 1, SystemError = 2 };

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

struct Result {
    int code = Ok;
    QString out;   // for stdout
    QString err;   // for stderr: errors and warnings
};

Result run(const QStringList& args, const PortsSystem& system = PortsSystem::real());

// The pieces run() is made of, for tests that look at one of them.
int comNumber(const QString& text);   // "COM1".."COM9", any letter case; else -1
QString devicePathFor(const QString& argument, const QString& devFolder);
QList<Device> presentDevices(const QString& devFolder = QStringLiteral("/dev"));
QStringList stableNamesOf(const QString& device, const QString& devFolder);   // its serial/by-id links
Access probe(const QString& path);
QString accessWarning(const QString& path, const Access& access);
bool serialDevice(const Access& access);   // could be a serial line; false for /dev/null and the like
QString helpText();

}  // namespace portstool
