#pragma once
#include <QString>

// COM1..COM9 map to devices through a ports folder, so that a USB adapter or the simulator can be
// attached to a COM number: $XDG_CONFIG_HOME/korvane/ports/COMn (~/.config when XDG_CONFIG_HOME is
// unset), usually a symbolic link to /dev/ttyUSB0 or a pseudo-terminal. Without such an entry COMn
// is /dev/ttyS<n-1>.
namespace ports {

QString folder();
QString entryPath(int n);      // the ports-folder entry for COMn, whether it exists or not
QString devicePath(int n);     // the entry if present, else /dev/ttyS<n-1>
// The device a path leads to, its links followed (the ports folder's COM4 -> /dev/ttyUSB0); the
// path itself when it leads nowhere.
QString followed(const QString& path);

}  // namespace ports
