// The record file shared by every process that writes a tracker: whole lines, however many append
// at once, and a file that cannot be written is a warning, not a failure.
#include "bulk/record.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

bool put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bulk::RecordEntry entry(const QString& port)
{
    bulk::RecordEntry e;
    e.program = QStringLiteral("korvane-cli");
    e.action = QStringLiteral("write");
    e.port = port;
    e.outcome = QStringLiteral("done");
    return e;
}

// Every line of the file, each of them readable JSON.
QStringList ports(const QByteArray& text)
{
    QStringList out;
    QList<QByteArray> lines = text.split('\n');
    if (lines.takeLast() != QByteArray())
        return {QStringLiteral("(the last line is not ended)")};
    for (const QByteArray& line : lines) {
        QJsonParseError error{};
        const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
        out << (error.error == QJsonParseError::NoError ? o.value("port").toString()
                                                        : QStringLiteral("(not JSON: %1)").arg(QString::fromUtf8(line)));
    }
    return out;
}

}  // namespace

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

    // A full file system takes part of a line: the part is cut back off, so that the line is in the
    // record whole or not at all, and the next line, once there is room, is one of its own. On a
    // small tmpfs (root); elsewhere a file-size limit stands in for the full disk.
    void aFullDiskLeavesNoPartOfALine()
    {
        QTemporaryDir dir;
        const QString mount = dir.filePath("small");
        QVERIFY(QDir().mkpath(mount));
        const bool tmpfs = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=8k", "tmpfs", mount}) == 0;
        const QString path = mount + "/record.jsonl";
        // One whole line that leaves 76 bytes of its page free, the other page filled.
        const QByteArray padding = "{\"port\":\"old\",\"pad\":\"\"}\n";
        QByteArray old = padding;
        old.insert(old.size() - 3, QByteArray(4096 - 76 - padding.size(), 'x'));
        QVERIFY(put(path, old));
        QFile filler(mount + "/filler");
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        if (tmpfs) {
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(512, 'x')) == 512 && filler.flush()) {}
            filler.close();
        } else {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit = before;
            limit.rlim_cur = rlim_t(old.size() + 76);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        }

        const QString full = bulk::appendRecord(path, entry("/dev/ttyUSB1"));
        const QByteArray afterFull = contents(path);
        if (tmpfs)
            QVERIFY(filler.remove());
        else
            ::setrlimit(RLIMIT_FSIZE, &before);
        const QString roomAgain = bulk::appendRecord(path, entry("/dev/ttyUSB2"));
        const QByteArray last = contents(path);
        if (tmpfs)
            QCOMPARE(QProcess::execute("umount", {mount}), 0);
        qInfo("%s", tmpfs ? "on a full 8 KiB tmpfs" : "under a file-size limit (no tmpfs could be mounted)");

        QCOMPARE(full, "the record " + path + " cannot be written: the disk is full");
        QCOMPARE(afterFull, old);
        QCOMPARE(roomAgain, QString());
        QCOMPARE(ports(last), (QStringList{"old", "/dev/ttyUSB2"}));
    }

    // A record whose last line was cut (a crash, another program) gets the next line on a line
    // of its own: the cut one stays alone, the new one is whole.
    void anAppendStartsOnALineOfItsOwn()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("record.jsonl");
        QVERIFY(put(path, "{\"port\":\"COM1\"}\n{\"port\":\"CO"));
        QCOMPARE(bulk::appendRecord(path, entry("COM4")), QString());
        QCOMPARE(ports(contents(path)), (QStringList{"COM1", "(not JSON: {\"port\":\"CO)", "COM4"}));
        QVERIFY(put(path, ""));
        QCOMPARE(bulk::appendRecord(path, entry("COM5")), QString());
        QCOMPARE(ports(contents(path)), QStringList{"COM5"});
    }

    // A FIFO as the record: with nobody reading, the append says so at once instead of waiting;
    // with a reader, the line goes to it, and the FIFO stays a FIFO.
    void aFifoIsNeverWaitedFor()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("record.fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(bulk::appendRecord(path, entry("COM4")),
                 "the record " + path + " cannot be written: no program is reading from it (a FIFO without a reader)");
        QVERIFY(clock.elapsed() < 1000);

        const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QCOMPARE(bulk::appendRecord(path, entry("COM6")), QString());
        char buffer[4096];
        const ssize_t n = ::read(reader, buffer, sizeof buffer);
        ::close(reader);
        QVERIFY(n > 0);
        QCOMPARE(ports(QByteArray(buffer, int(n))), QStringList{"COM6"});
        struct stat st {};
        QVERIFY(::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
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
