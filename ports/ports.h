#pragma once
#include "ports/ports_system.h"

#include <QString>
#include <QStringList>

#include <optional>

// korvane-ports: shows the serial devices present and the device behind each of COM1..COM9, and
// links or unlinks a COM number in the ports folder (link/port_names.h). Everything the command
// does is in run(), which returns its output instead of printing it, so that tests drive it
// without starting a process. This is its wording and argument handling; what it finds out from
// the system, and the links it makes, are in ports/ports_system.h.
namespace portstool {

enum Exit { Ok = 0, UserError = 1, SystemError = 2 };

struct Result {
    int code = Ok;
    QString out;   // for stdout
    QString err;   // for stderr: errors and warnings
};

Result run(const QStringList& args, const PortsSystem& system = PortsSystem::real());

// What COMn stands for now: its ports-folder entry, the device that entry (or the built-in port)
// leads to, what the user may do with it, and the device as the system describes it, if present.
struct ComView {
    int number = 0;
    Entry entry;                   // the ports-folder entry, not followed
    QString device;                // what opening COMn opens: the link's target or /dev/ttyS<n-1>
    Access access;
    std::optional<Device> present; // the serial device it leads to, among `devices`
};
ComView viewCom(int n, const PortsSystem& system, const QList<Device>& devices);
// One line: where COMn leads ("-> /dev/ttyUSB0", "/dev/ttyS3  (built-in, no link)").
QString comWhere(const ComView& view);
// What OPEN in the window would make of it: "present", "missing: OPEN shows 8002", ...
QString comState(const ComView& view);
// Several lines for the port list's tooltip: the device, whether it is there, and the adapter's
// description, maker and serial number when the system knows them.
QString comDescription(const ComView& view);
// How to get access to a device of that group (the dialout group, then a new login).
QString accessHint(const Access& access);
// The name to link a device by: its stable /dev/serial/by-id name where it has one, so that the
// adapter keeps its COM number in another USB socket; else its path.
QString linkName(const Device& device);

// The pieces run() is made of, for tests that look at one of them.
int comNumber(const QString& text);   // "COM1".."COM9", any letter case; else -1
QString devicePathFor(const QString& argument, const QString& devFolder);
QString accessWarning(const QString& path, const Access& access);
QString helpText();

}  // namespace portstool
