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
