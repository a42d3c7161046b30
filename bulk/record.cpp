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

QString profileSum(const Profile& profile)
{
    return QString::fromLatin1(QCryptographicHash::hash(toJson(profile), QCryptographicHash::Sha256).toHex());
}

QHash<QString, QSet<QString>> verifiedIn(const QString& path, QString* error)
{
    QHash<QString, QSet<QString>> verified;
    // A FIFO or a device (--record /dev/stdout) is written into, never read: a read would wait.
    if (!QFileInfo(path).isFile())
        return verified;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("the record %1 cannot be read: %2").arg(path, file.errorString());
        return verified;
    }
    // Line by line: a record grows for years, and most of its lines are no verified write.
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(1 << 20);
        if (!line.contains("\"verified\""))
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const QString imei = o.value(QLatin1String("imei")).toString();
        const QString sum = o.value(QLatin1String("profileSha256")).toString();
        const QString action = o.value(QLatin1String("action")).toString();
        if (o.value(QLatin1String("outcome")).toString() == QLatin1String("verified") && !imei.isEmpty() &&
            !sum.isEmpty() && (action == QLatin1String("write") || action == QLatin1String("verify")))
            verified[imei].insert(sum);
    }
    return verified;
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
             e.profile ? QJsonValue(profileSum(*e.profile)) : QJsonValue());
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
