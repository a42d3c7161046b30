#include "support/watchdog.h"

#include <QFile>
#include <QRegularExpression>

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(status.readAll());
    static const QRegularExpression resident(QStringLiteral("VmRSS:\\s+(\\d+)"));
    const auto m = resident.match(text);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}
