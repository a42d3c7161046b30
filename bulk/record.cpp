#include "bulk/record.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace bulk {

QString recordPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/korvane/record.jsonl");
}

QByteArray recordLine(const RecordEntry& e)
{
    QJsonObject o;
    o.insert(QLatin1String("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    o.insert(QLatin1String("program"), e.program);
    o.insert(QLatin1String("version"), QStringLiteral(KORVANE_VERSION));
    o.insert(QLatin1String("action"), e.action);
    o.insert(QLatin1String("port"), e.port);
    o.insert(QLatin1String("device"), e.device);
    o.insert(QLatin1String("adapterSerial"), e.adapterSerial.isEmpty() ? QJsonValue() : QJsonValue(e.adapterSerial));
    const auto orNull = [](const std::optional<QString>& v) { return v ? QJsonValue(*v) : QJsonValue(); };
    o.insert(QLatin1String("imei"), orNull(e.identity.imei));
    o.insert(QLatin1String("hardwareVersion"), orNull(e.identity.hardwareVersion));
    o.insert(QLatin1String("softwareVersion"), orNull(e.identity.softwareVersion));
    o.insert(QLatin1String("model"), e.model ? QJsonValue(name(*e.model)) : QJsonValue());
    o.insert(QLatin1String("profileFile"), e.profileFile.isEmpty() ? QJsonValue() : QJsonValue(e.profileFile));
    o.insert(QLatin1String("profileSha256"),
             e.profile ? QJsonValue(QString::fromLatin1(
                             QCryptographicHash::hash(toJson(*e.profile), QCryptographicHash::Sha256).toHex()))
                       : QJsonValue());
    o.insert(QLatin1String("outcome"), e.outcome);
    if (e.outcome == QLatin1String("differs"))
        o.insert(QLatin1String("differs"), QJsonArray::fromStringList(e.differs));
    if (e.outcome == QLatin1String("failed")) {
        o.insert(QLatin1String("failedAt"), e.failedAt);
        o.insert(QLatin1String("failedCommand"), e.failedCommand);
        o.insert(QLatin1String("reply"), e.reply);
    }
    o.insert(QLatin1String("commandsSent"), e.commandsSent);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

QString appendRecord(const QString& path, const RecordEntry& entry)
{
    const QByteArray line = recordLine(entry);
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("the record %1 cannot be written: its folder cannot be made").arg(path);
    // O_APPEND puts every write at the end as one step: the lines of processes that append at the
    // same time follow one another whole. A line is far below what one write takes at once.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return QStringLiteral("the record %1 cannot be written: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    ssize_t n = -1;
    do
        n = ::write(fd, line.constData(), size_t(line.size()));
    while (n < 0 && errno == EINTR);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (n != ssize_t(line.size()))
        return QStringLiteral("the record %1 cannot be written: %2")
            .arg(path, n < 0 ? QString::fromLocal8Bit(std::strerror(writeError)) : QStringLiteral("the disk is full"));
    if (!closed)
        return QStringLiteral("the record %1 may be incomplete: closing it failed").arg(path);
    return {};
}

QString adapterSerial(const QString& devicePath)
{
    // /sys/class/tty/ttyUSB0/device/../../serial, two or three levels up for a USB serial adapter.
    const QString name = QFileInfo(QFileInfo(devicePath).canonicalFilePath()).fileName();
    if (name.isEmpty())
        return {};
    QDir dir(QStringLiteral("/sys/class/tty/%1/device").arg(name));
    for (int up = 0; up < 4 && dir.exists(); ++up) {
        QFile serial(dir.filePath(QStringLiteral("serial")));
        if (serial.open(QIODevice::ReadOnly))
            return QString::fromLatin1(serial.readAll()).trimmed();
        if (!dir.cdUp())
            break;
    }
    return {};
}

}  // namespace bulk
