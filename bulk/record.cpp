#include "bulk/record.h"
#include "bulk/output_file.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
    // A line is far below what one write takes at once, so lines of processes appending at the
    // same time follow one another whole.
    if (const QString problem = appendLine(path, recordLine(entry)); !problem.isEmpty())
        return QStringLiteral("the record %1 %2").arg(path, problem);
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
