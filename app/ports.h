#pragma once
#include "app/ports_system.h"

#include <QString>
#include <QStringList>

// korvane-ports: shows the serial devices present and the device behind each of COM1..COM9, and
// links or unlinks a COM number in the ports folder (link/port_names.h). Everything the command
// does is in run(), which returns its output instead of printing it, so that tests drive it
// without starting a process. This is its wording and argument handling; what it finds out from
// the system, and the links it makes, are in app/ports_system.h.
namespace portstool {

enum Exit { Ok = 0, UserError = 1, SystemError = 2 };

struct Result {
    int code = Ok;
    QString out;   // for stdout
    QString err;   // for stderr: errors and warnings
};

Result run(const QStringList& args, const PortsSystem& system = PortsSystem::real());

// The pieces run() is made of, for tests that look at one of them.
int comNumber(const QString& text);   // "COM1".."COM9", any letter case; else -1
QString devicePathFor(const QString& argument, const QString& devFolder);
QString accessWarning(const QString& path, const Access& access);
QString helpText();

}  // namespace portstool
