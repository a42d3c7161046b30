#include "link/port_names.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace ports {

QString folder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/korvane/ports");
}

QString entryPath(int n)
{
    return folder() + QStringLiteral("/COM") + QString::number(n);
}

QString devicePath(int n)
{
    const QString entry = entryPath(n);
    // A dangling link still names the technician's choice: opening it then fails with "no such
    // device" instead of silently falling back to a built-in port.
    const QFileInfo info(entry);
    if (info.exists() || info.isSymLink())
        return entry;
    return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
}

QString followed(const QString& path)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    return device.isEmpty() ? path : device;
}

}  // namespace ports
