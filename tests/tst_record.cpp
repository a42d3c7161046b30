// The record file shared by every process that writes a tracker: whole lines, however many append
// at once, and a file that cannot be written is a warning, not a failure.
#include "bulk/record.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

class RecordTest : public QObject {
    Q_OBJECT

private slots:
    // Writers appending at once, each with lines far longer than one buffered write would keep
    // together, leave only whole lines: every one of them, each readable JSON.
    void parallelWritersLeaveOnlyWholeLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("nested/korvane/record.jsonl");
        constexpr int writers = 8, each = 150;
        std::vector<std::thread> threads;
        std::vector<QString> warnings(writers);
        for (int w = 0; w < writers; ++w)
            threads.emplace_back([&, w] {
                bulk::RecordEntry e;
                e.program = QStringLiteral("korvane-cli");
                e.action = QStringLiteral("write");
                e.port = QStringLiteral("/dev/ttyUSB%1").arg(w);
                e.outcome = QStringLiteral("failed");
                e.reply = QString(3000, QLatin1Char('a' + w));   // a long reply makes a long line
                for (int i = 0; i < each && warnings[w].isEmpty(); ++i) {
                    e.commandsSent = i;
                    warnings[w] = bulk::appendRecord(path, e);
                }
            });
        for (std::thread& t : threads)
            t.join();
        for (const QString& w : warnings)
            QCOMPARE(w, QString());

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());   // the last line is ended too
        QCOMPARE(lines.size(), writers * each);
        QList<int> seen(writers, 0);
        for (const QByteArray& line : lines) {
            QJsonParseError error{};
            const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, line.left(80).constData());
            const int w = o.value("port").toString().back().digitValue();
            QCOMPARE(o.value("reply").toString(), QString(3000, QLatin1Char('a' + w)));
            QCOMPARE(o.value("commandsSent").toInt(), seen[w]++);   // each writer's lines in its order
        }
    }

    // Each value of an entry under its own name: a tracker's versions, IMEI and the failed command
    // are told apart by their values, all different.
    void eachValueStandsUnderItsName()
    {
        bulk::RecordEntry e;
        e.program = QStringLiteral("korvane-cli");
        e.action = QStringLiteral("write");
        e.port = QStringLiteral("COM4");
        e.device = QStringLiteral("/dev/pts/7");
        e.identity.imei = QStringLiteral("864000000000042");
        e.identity.hardwareVersion = QStringLiteral("HW-3.2");
        e.identity.softwareVersion = QStringLiteral("SW-7.9");
        e.model = bulk::Model::Falcon;
        e.outcome = QStringLiteral("failed");
        e.failedAt = 12;
        e.failedCommand = QStringLiteral("SETL-05:30");
        e.reply = QStringLiteral("ERROR!");
        e.commandsSent = 12;
        const QByteArray line = bulk::recordLine(e);
        QVERIFY(line.endsWith('\n'));
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QCOMPARE(o.value("imei").toString(), QString("864000000000042"));
        QCOMPARE(o.value("hardwareVersion").toString(), QString("HW-3.2"));
        QCOMPARE(o.value("softwareVersion").toString(), QString("SW-7.9"));
        QCOMPARE(o.value("model").toString(), QString("Falcon"));
        QCOMPARE(o.value("port").toString(), QString("COM4"));
        QCOMPARE(o.value("device").toString(), QString("/dev/pts/7"));
        QCOMPARE(o.value("failedAt").toInt(), 12);
        QCOMPARE(o.value("failedCommand").toString(), QString("SETL-05:30"));
        QCOMPARE(o.value("reply").toString(), QString("ERROR!"));
        QCOMPARE(o.value("commandsSent").toInt(), 12);
    }

    void aFileThatCannotBeWrittenIsAWarning()
    {
        QTemporaryDir dir;
        bulk::RecordEntry e;
        QVERIFY(bulk::appendRecord(dir.path(), e).startsWith("the record " + dir.path() + " cannot be written: "));
        QVERIFY(bulk::appendRecord("/dev/full", e).contains("cannot be written"));
    }

    void thePlaceFollowsXdgStateHome()
    {
        qputenv("XDG_STATE_HOME", "/srv/state");
        QCOMPARE(bulk::recordPath(), QString("/srv/state/korvane/record.jsonl"));
        qunsetenv("XDG_STATE_HOME");
        QCOMPARE(bulk::recordPath(), QDir::homePath() + "/.local/state/korvane/record.jsonl");
    }
};

QTEST_GUILESS_MAIN(RecordTest)
#include "tst_record.moc"
