// A long day at a provisioning station: korvane-cli station watching eight adapters while the
// simulator plugs tracker after tracker into them, with every fault it has mixed in. What each
// tracker should come to is read from what the simulator was told to do with it (its faults, its
// IMEI), never from the station. KORVANE_SOAK_TRACKERS raises the count (40 by default).
#include "link/port_names.h"
#include "sim/fleet.h"
#include "support/profiles.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <vector>

namespace {

constexpr int kPorts = 8;

// What the station must make of a tracker with these faults.
enum class Expect { Verified, Failed, FailedUnread, Nothing };

Expect expectedOf(const QString& mishap)
{
    if (mishap.contains(QLatin1String("silent")))
        return Expect::Nothing;        // never answers: no different from an adapter with nothing behind it
    if (mishap.contains(QLatin1String("garbage")) || mishap.contains(QLatin1String("flood")))
        return Expect::FailedUnread;   // its identity read is answered with no parameter dump
    if (mishap.contains(QLatin1String("crlf")) || mishap.contains(QLatin1String("fail-on")) ||
        mishap.contains(QLatin1String("hang-up-after")) || mishap.contains(QLatin1String("unplug")))
        return Expect::Failed;         // read, then refused, not acknowledged or pulled out mid-write
    return Expect::Verified;           // ok, chunked replies
}

// RFC 4180 rows, as the report writes them (no line breaks inside a field).
QList<QStringList> csvRows(const QByteArray& bytes)
{
    QList<QStringList> rows;
    for (const QByteArray& raw : bytes.split('\n')) {
        QString line = QString::fromUtf8(raw);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        QStringList fields;
        QString field;
        bool quoted = false;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (quoted && c == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
                field += c, ++i;
            else if (c == u'"')
                quoted = !quoted;
            else if (c == u',' && !quoted)
                fields << field, field.clear();
            else
                field += c;
        }
        rows << (fields << field);
    }
    return rows;
}

qint64 rssKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

struct Arrival {
    int place;
    QString imei;
    QString mishap;
};

}  // namespace

class SoakTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath("config")));
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir_.filePath("state")));
    }

    void trackerAfterTrackerThroughEightPorts()
    {
        const int total = qMax(16, qEnvironmentVariableIntValue("KORVANE_SOAK_TRACKERS") > 0
                                       ? qEnvironmentVariableIntValue("KORVANE_SOAK_TRACKERS") : 40);
        // Each arrives for 3 s (enough for the nine commands, their read-back and the station's look
        // every half second), the adapter then empty for 0.3 s. Pulled out after 1.2 s: after its
        // identity read, before its read-back ended. A flood needs 6 s to be told from a reply.
        sim::Comings c;
        c.upMs = 3000;
        c.downMs = 300;
        c.newImei = true;
        c.imei = QStringLiteral("864000000000000");
        c.total = total;
        for (const char* entry : {"ok", "silent", "fail-on:SETA2", "garbage", "chunk:16:5", "crlf", "flood+unplug:7000",
                                  "hang-up-after:5", "unplug:1200", "ok"}) {
            sim::Mishap m;
            QCOMPARE(sim::parseMishap(entry, sim::Mishap{}, &m), QString());
            c.mix << m;
        }
        sim::Fleet fleet(kPorts, c, sim::Mishap{});
        QVERIFY(fleet.linkInto(dir_.filePath("adapters")));
        QList<Arrival> arrivals;
        connect(&fleet, &sim::Fleet::arrived, this,
                [&arrivals](int place, const QString& imei, const QString&, const QString& mishap) {
                    arrivals << Arrival{place, imei, mishap};
                });
        QStringList ports;
        for (int i = 0; i < kPorts; ++i)
            ports << fleet.path(i);

        const QString profile = dir_.filePath("fleet.json"), report = dir_.filePath("report.csv"),
                      record = dir_.filePath("record.jsonl");
        {
            QFile f(profile);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(testprofiles::kChains) > 0);
        }
        QProcess station;
        station.setProcessChannelMode(QProcess::SeparateChannels);
        station.start(QStringLiteral(KORVANE_CLI_PATH), {"station", profile, "--ports", ports.join(u','), "--report",
                                                         report, "--record", record, "--quiet"});
        QVERIFY(station.waitForStarted(5000));
        QVERIFY(fleet.start());

        // Status lines as they come; the station's memory once a fifth of the trackers has ended.
        const int early = qMax(kPorts, total / 5);
        QStringList status;
        qint64 rssEarly = -1, rssLate = -1;
        connect(&station, &QProcess::readyReadStandardOutput, this, [&] {
            while (station.canReadLine()) {
                status << QString::fromUtf8(station.readLine()).trimmed();
                if (status.size() == early)
                    rssEarly = rssKiB(station.processId());
            }
        });
        const auto expectedRows = [&arrivals] {
            return std::count_if(arrivals.begin(), arrivals.end(),
                                 [](const Arrival& a) { return expectedOf(a.mishap) != Expect::Nothing; });
        };
        QElapsedTimer clock;
        clock.start();
        const bool over = QTest::qWaitFor([&] {
            return fleet.arrivals() == total && fleet.present() == 0 && status.size() >= expectedRows();
        }, total * 1500 + 60000);
        QVERIFY2(over, qPrintable(QStringLiteral("%1 of %2 trackers arrived, %3 plugged in, %4 of %5 status lines")
                                      .arg(fleet.arrivals()).arg(total).arg(fleet.present())
                                      .arg(status.size()).arg(expectedRows())));
        const double soakSeconds = double(clock.elapsed()) / 1000.0;
        QTest::qWait(600);
        rssLate = rssKiB(station.processId());
        QCOMPARE(status.size(), expectedRows());   // nothing more came meanwhile

        // No port is stuck: each still finds the next tracker plugged in, and verifies it.
        std::vector<std::unique_ptr<sim::PtyTracker>> last;
        for (int i = 0; i < kPorts; ++i) {
            last.push_back(std::make_unique<sim::PtyTracker>());
            last.back()->tracker().params().identity->imei = QStringLiteral("99000000000000%1").arg(i);
            QVERIFY(last.back()->start());
            QVERIFY(last.back()->linkAt(ports[i]));
        }
        QTRY_COMPARE_WITH_TIMEOUT(status.size(), expectedRows() + kPorts, 15000);
        ::kill(pid_t(station.processId()), SIGTERM);
        QVERIFY(station.waitForFinished(15000));
        station.readAll();
        QCOMPARE(station.exitStatus(), QProcess::NormalExit);
        QCOMPARE(station.exitCode(), 1);   // some were failed

        // One report row per tracker that answered, on its port, with the outcome its faults call for.
        QFile r(report);
        QVERIFY(r.open(QIODevice::ReadOnly));
        QList<QStringList> rows = csvRows(r.readAll());
        QCOMPARE(rows.value(0), (QStringList{"time", "port", "imei", "outcome", "failed command", "seconds", "reply"}));
        rows.removeFirst();
        QCOMPARE(rows.size(), int(expectedRows()) + kPorts);
        QHash<QString, QStringList> byImei;       // imei -> "port outcome" of each row
        QHash<QString, int> unreadRows, unreadExpected;   // port -> rows without an IMEI
        for (const QStringList& row : rows) {
            if (row.value(2).isEmpty()) {
                QCOMPARE(row.value(3), QString("failed"));
                ++unreadRows[row.value(1)];
            } else {
                byImei[row.value(2)] << row.value(1) + ' ' + row.value(3);
            }
        }
        int verified = 0, failed = 0;
        for (const Arrival& a : arrivals) {
            const Expect e = expectedOf(a.mishap);
            const QString what = a.imei + " (" + a.mishap + ")";
            if (e == Expect::FailedUnread) {
                ++unreadExpected[ports[a.place]];
                ++failed;
            } else if (e == Expect::Nothing) {
                QVERIFY2(!byImei.contains(a.imei), qPrintable(what));
            } else {
                const QString outcome = e == Expect::Verified ? "verified" : "failed";
                QCOMPARE(byImei.value(a.imei), QStringList{ports[a.place] + ' ' + outcome});
                ++(e == Expect::Verified ? verified : failed);
            }
        }
        QCOMPARE(unreadRows, unreadExpected);
        for (int i = 0; i < kPorts; ++i)
            QCOMPARE(byImei.value(QStringLiteral("99000000000000%1").arg(i)), QStringList{ports[i] + " verified"});

        // One whole record line per tracker, the same IMEIs as the report.
        QFile rec(record);
        QVERIFY(rec.open(QIODevice::ReadOnly));
        const QByteArray recordBytes = rec.readAll();
        QVERIFY(recordBytes.endsWith('\n'));
        QStringList recordImeis, reportImeis;
        for (const QByteArray& line : recordBytes.trimmed().split('\n')) {
            const QJsonDocument doc = QJsonDocument::fromJson(line);
            QVERIFY2(doc.isObject(), line.constData());
            recordImeis << doc.object().value("imei").toString();
        }
        for (const QStringList& row : rows)
            reportImeis << row.value(2);
        recordImeis.sort();
        reportImeis.sort();
        QCOMPARE(recordImeis, reportImeis);

        // The station's own count agrees.
        const QString summary = QStringLiteral("%1 tracker(s): %2 verified, %3 failed,")
                                    .arg(rows.size()).arg(verified + kPorts).arg(failed);
        QVERIFY2(std::any_of(status.begin(), status.end(), [&](const QString& l) { return l.startsWith(summary); }),
                 qPrintable(summary + "\n" + status.mid(status.size() - 3).join('\n')));

        // Memory does not grow with the trackers: a session keeps a line of text per tracker at most.
        QVERIFY(rssEarly > 0 && rssLate > 0);
        qInfo("soak: %d trackers through %d ports in %.1f s (%d verified, %d failed, %lld never answered); "
              "korvane-cli station RSS %lld KiB after %d trackers ended, %lld KiB after %lld",
              total, kPorts, soakSeconds, verified, failed, qlonglong(total - expectedRows()), rssEarly, early, rssLate,
              qlonglong(expectedRows()));
#ifndef KORVANE_SANITIZED   // the sanitizers hold freed memory back on purpose: no figure there
        QVERIFY2(rssLate - rssEarly <= 2048, qPrintable(QString::number(rssLate - rssEarly) + " KiB more"));
#endif
    }
};

int main(int argc, char** argv)
{
    // A long soak outlasts QtTest's five minutes per test function.
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(qMax(300, qEnvironmentVariableIntValue("KORVANE_SOAK_TRACKERS") * 3) * 1000));
    QCoreApplication app(argc, argv);
    SoakTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_soak.moc"
