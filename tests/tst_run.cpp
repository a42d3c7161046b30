// The one run of a plan on a fake port, the watcher's ticks driven by the test, a simulated
// tracker answering (or not) each line: what goes on the wire, where a run stops, what it says
// was written, and the record's line. The expected lines are written out as the tracker sees them.
#include "bulk/profile.h"
#include "bulk/record.h"
#include "support/profiles.h"
#include "support/sim_link.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

using testprofiles::checked;
using testprofiles::kChains;

// The fences: five rows, one "Apply" each.
constexpr char kFences[] = R"({"format": "korvane-profile", "version": 1, "model": "Petrel",
  "fences": {"1": {"on": true, "side": "In", "coordinate": "N22.1,E113.1,N22.2,E113.2"},
             "2": {"on": false, "side": "Out", "coordinate": ""},
             "3": {"on": true, "side": "Out", "coordinate": "N1,E2,N3,E4"},
             "4": {"on": false, "side": "In", "coordinate": ""},
             "5": {"on": false, "side": "In", "coordinate": ""}}})";

QStringList chainLines()
{
    return {"SETCfleet.apn,10.1.2.3:7001", "SETOu1,p1", "SETRh.example;80", "SETM1,045S",
            "SETA1,+111", "SETA2,222", "SETA3,D", "SETA4,444", "SETA5,555"};
}
QStringList fenceLines()
{
    return {"SETI1,1,0,N22.1,E113.1,N22.2,E113.2", "SETI2,0,1#", "SETI3,1,1,N1,E2,N3,E4",
            "SETI4,0,0#", "SETI5,0,0#"};
}

using Bench = SimLink;

}  // namespace

class RunTest : public QObject {
    Q_OBJECT

private slots:
    // A whole write: every chain step after the one before was acknowledged, then the read-back,
    // which finds what was written; the record's line says so.
    void aWriteGoesOutInOrderAndIsVerified()
    {
        Bench b;
        b.run.write(checked(kChains));
        QVERIFY(b.serve());
        QCOMPARE(b.wire(), chainLines() + QStringList{"SETG"});
        QCOMPARE(b.ended->outcome, QString("verified"));
        QCOMPARE(b.acknowledged.size(), 9);
        QCOMPARE(b.acknowledged.first(), QString("0 SETCfleet.apn,10.1.2.3:7001"));
        QCOMPARE(b.acknowledged.last(), QString("8 SETA5,555"));
        QCOMPARE(b.ended->identity.imei, std::optional<QString>("356000123456782"));

        const bulk::RecordEntry e = b.run.recordEntry();
        QCOMPARE(e.action, QString("write"));
        QCOMPARE(e.outcome, QString("verified"));
        QCOMPARE(e.commandsSent, 10);
        QCOMPARE(e.failedAt, 0);
        QCOMPARE(e.identity.imei, std::optional<QString>("356000123456782"));
    }

    // Without a read-back the write ends "done" after its last acknowledgement; a verify sends
    // only the read; a reset only its command.
    void eachActionSendsOnlyItsOwnLines()
    {
        Bench write;
        write.run.write(checked(kFences), false);
        QVERIFY(write.serve());
        QCOMPARE(write.wire(), fenceLines());
        QCOMPARE(write.ended->outcome, QString("done"));

        Bench verify;
        verify.run.verify(checked(kFences));
        QVERIFY(verify.serve());
        QCOMPARE(verify.wire(), QStringList{"SETG"});
        // The factory tracker has no fence on.
        QCOMPARE(verify.ended->outcome, QString("differs"));
        QCOMPARE(verify.ended->comparison.differ.first().key, QString("fences.1.on"));
        QCOMPARE(verify.run.recordEntry().differs.first(), QString("fences.1.on"));

        Bench reset;
        reset.run.reset();
        QVERIFY(reset.serve());
        QCOMPARE(reset.wire(), QStringList{"SET10"});
        QCOMPARE(reset.ended->outcome, QString("done"));
        QCOMPARE(reset.run.recordEntry().commandsSent, 1);
    }

    // A single row the tracker refuses ("Setting Error!") stops the write there: the fence is not
    // counted as written, and the summary says the tracker refused it.
    void aRefusedRowStopsTheWrite()
    {
        Bench b;
        b.peer = [&b](const QString& line) { return line.startsWith("SETI3") ? QString("ERROR!") : b.tracker.handle(line); };
        b.run.write(checked(kFences));
        QVERIFY(b.serve());
        QCOMPARE(b.wire(), fenceLines().mid(0, 3));
        const PlanRun::Result& r = *b.ended;
        QCOMPARE(r.outcome, QString("failed"));
        QCOMPARE(r.failedAt, 3);
        QCOMPARE(r.failedCommand, QString("SETI3,1,1,N1,E2,N3,E4"));
        QCOMPARE(r.button, QString("Command31"));
        QCOMPARE(r.reply, QString("ERROR!"));
        QCOMPARE(r.cause, QString("the tracker answered \"ERROR!\" (Setting Error!)"));
        QCOMPARE(r.written, QString("already written: 2 of 5 commands: geo-fences 2 of 5 "
                                    "(SETI1,1,0,N22.1,E113.1,N22.2,E113.2, SETI2,0,1#); "
                                    "refused by the tracker: \"SETI3,1,1,N1,E2,N3,E4\""));
        QCOMPARE(b.acknowledged, (QStringList{"0 SETI1,1,0,N22.1,E113.1,N22.2,E113.2", "1 SETI2,0,1#"}));
        const bulk::RecordEntry e = b.run.recordEntry();
        QCOMPARE(e.outcome, QString("failed"));
        QCOMPARE(e.failedAt, 3);
        QCOMPARE(e.reply, QString("ERROR!"));
        QCOMPARE(e.commandsSent, 3);
    }

    // A chain acknowledged part-way: the step answered wrongly is the one that failed, the steps
    // before it are written, and nothing after it goes out.
    void aChainAcknowledgedPartWayStopsAtTheWrongReply()
    {
        Bench b;
        b.peer = [&b](const QString& line) { return line.startsWith("SETA3") ? QString("3TEL ERR") : b.tracker.handle(line); };
        b.run.write(checked(kChains));
        QVERIFY(b.serve());
        QCOMPARE(b.wire(), chainLines().mid(0, 7));
        const PlanRun::Result& r = *b.ended;
        QCOMPARE(r.outcome, QString("failed"));
        QCOMPARE(r.failedAt, 7);
        QCOMPARE(r.group, QString("telephones"));
        QCOMPARE(r.button, QString("Command4"));
        QCOMPARE(r.written, QString("already written: 6 of 9 commands: GPRS 4 of 4; telephone numbers 2 of 5 "
                                    "(SETA1,+111, SETA2,222); refused by the tracker: \"SETA3,D\""));
    }

    // Silence: "Out-Time !" after 21 ticks, and the command may have been applied.
    void aSilentTrackerTimesOut()
    {
        Bench b;
        b.peer = [&b](const QString& line) { return line.startsWith("SETO") ? QString() : b.tracker.handle(line); };
        b.run.write(checked(kChains));
        QVERIFY(b.serve([&b] { return b.wire().size() == 2; }));
        for (int i = 0; i < 20; ++i)
            b.tick();
        QVERIFY(!b.ended);   // the twentieth tick is still within the time
        b.tick();
        QVERIFY(b.ended);
        QCOMPARE(b.ended->failedAt, 2);
        QCOMPARE(b.ended->cause, QString("no answer within 2.1 s (Out-Time !)"));
        QCOMPARE(b.ended->written, QString("already written: 1 of 9 commands: GPRS 1 of 4 (SETCfleet.apn,10.1.2.3:7001); "
                                           "sent without acknowledgement, perhaps applied: \"SETOu1,p1\""));
        QCOMPARE(b.wire().size(), 2);
    }

    // A tracker that never stops sending is given up on once 64 KiB have come, though every chunk
    // puts the watcher's judgement off; the record keeps the start of what came.
    void aFloodIsGivenUpOn()
    {
        Bench b;
        b.peer = [](const QString&) { return QString(); };
        b.run.write(checked(kFences));
        QVERIFY(b.serve([&b] { return !b.wire().isEmpty(); }));
        const QString line = QString("$GPRMC,debug,%1\r\n").arg(QString(40, 'x'));
        for (int i = 0; i < 1200 && !b.ended; ++i) {
            b.port.deliver(line);
            if (i % 100 == 99)
                QTest::qWait(120);   // the bounds are looked at every 100 ms
        }
        QVERIFY(QTest::qWaitFor([&b] { return b.ended.has_value(); }, 2000));
        const PlanRun::Result& r = *b.ended;
        QCOMPARE(r.outcome, QString("failed"));
        QCOMPARE(r.failedAt, 1);
        QVERIFY2(r.cause.startsWith("the tracker kept sending without end ("), qPrintable(r.cause));
        QVERIFY(r.reply.startsWith("$GPRMC,debug,"));
        QCOMPARE(b.run.recordEntry().reply.size(), PlanRun::kRecordReplyKeep);
        QCOMPARE(b.wire(), QStringList{fenceLines().constFirst()});
        QVERIFY(!b.link.engine().timer().isActive());
    }

    // The device goes away in the middle of a chain: the step in flight failed, nothing more goes
    // out, and the run does not wait for a tick that never comes.
    void aHangUpEndsTheRun()
    {
        Bench b;
        b.peer = [&b](const QString& line) {
            if (line.startsWith("SETA2")) {
                b.port.pull();
                return QString();
            }
            return b.tracker.handle(line);
        };
        b.run.write(checked(kChains));
        QVERIFY(b.serve());
        const PlanRun::Result& r = *b.ended;
        QCOMPARE(r.outcome, QString("failed"));
        QCOMPARE(r.failedAt, 6);
        QCOMPARE(r.cause, QString("the port went away (Port Lost! Check The Cable And Open It Again)"));
        QCOMPARE(b.wire(), chainLines().mid(0, 6));
    }

    // Cancel before the first press: nothing goes out. Cancel while a row's command is in flight:
    // it is answered, and the next row never starts. Cancel while a chain's command is in flight:
    // that command is acknowledged, and the chain goes no further.
    void cancelStopsAfterTheCommandInFlight()
    {
        Bench before;
        before.run.write(checked(kFences));
        before.run.cancel();
        QVERIFY(before.serve());
        QCOMPARE(before.wire(), QStringList());
        QCOMPARE(before.ended->outcome, QString("cancelled"));
        QCOMPARE(before.ended->written, QString("nothing was written: no command was sent"));

        Bench between;
        between.run.write(checked(kFences));
        QVERIFY(between.serve([&between] { return between.wire().size() == 2; }));
        between.run.cancel();   // "SETI2,0,1#" is on the wire
        QVERIFY(between.serve());
        QCOMPARE(between.wire(), fenceLines().mid(0, 2));
        QCOMPARE(between.ended->outcome, QString("cancelled"));
        QCOMPARE(between.ended->written,
                 QString("already written: 2 of 5 commands: geo-fences 2 of 5 (SETI1,1,0,N22.1,E113.1,N22.2,E113.2, SETI2,0,1#)"));

        Bench inFlight;
        inFlight.run.write(checked(kChains));
        QVERIFY(inFlight.serve([&inFlight] { return inFlight.wire().size() == 2; }));
        inFlight.run.cancel();   // "SETOu1,p1" is on the wire
        QVERIFY(inFlight.serve());
        QCOMPARE(inFlight.wire(), chainLines().mid(0, 2));
        QCOMPARE(inFlight.ended->outcome, QString("cancelled"));
        QCOMPARE(inFlight.ended->written,
                 QString("already written: 2 of 9 commands: GPRS 2 of 4 (SETCfleet.apn,10.1.2.3:7001, SETOu1,p1)"));
    }

    // A signal abandons the command in flight at once, without waiting for its reply.
    void aSignalAbandonsTheCommandInFlight()
    {
        Bench b;
        b.peer = [&b](const QString& line) { return line.startsWith("SETR") ? QString() : b.tracker.handle(line); };
        b.run.write(checked(kChains));
        QVERIFY(b.serve([&b] { return b.wire().size() == 3; }));
        b.run.interrupt(15);
        QCoreApplication::processEvents();
        QVERIFY(b.ended);
        QCOMPARE(b.ended->outcome, QString("cancelled"));
        QCOMPARE(b.ended->signal, 15);
        QCOMPARE(b.ended->failedAt, 3);
        QCOMPARE(b.ended->cause, QString("interrupted by SIGTERM"));
        QCOMPARE(b.ended->written, QString("already written: 2 of 9 commands: GPRS 2 of 4 (SETCfleet.apn,10.1.2.3:7001, "
                                           "SETOu1,p1); sent without acknowledgement, perhaps applied: \"SETRh.example;80\""));
        QVERIFY(!b.link.engine().timer().isActive());
    }

    // The read-back finds what the tracker holds: a tracker that keeps something else is a
    // difference of the write, not a failure.
    void aReadBackThatDiffersIsTold()
    {
        Bench b;
        b.peer = [&b](const QString& line) {
            const QString reply = b.tracker.handle(line);
            if (line.startsWith("SETA4"))
                b.tracker.params().telephones->number[3] = QString("449");
            return reply;
        };
        b.run.write(checked(kChains));
        QVERIFY(b.serve());
        QCOMPARE(b.ended->outcome, QString("differs"));
        QCOMPARE(b.ended->comparison.differ.size(), 1);
        QCOMPARE(b.ended->comparison.differ.first().key, QString("telephones.4"));
        QCOMPARE(b.ended->comparison.differ.first().actual, QString("\"449\""));
    }

    // Two runs on two ports at once keep apart: nothing of one is seen by the other.
    void runsOnTwoPortsKeepApart()
    {
        Bench one, two;
        two.peer = [&two](const QString& line) { return line.startsWith("SETI2") ? QString("ERROR!") : two.tracker.handle(line); };
        one.run.write(checked(kFences));
        two.run.write(checked(kFences));
        for (int i = 0; i < 2000 && !(one.ended && two.ended); ++i) {
            one.step();
            two.step();
        }
        QCOMPARE(one.ended->outcome, QString("verified"));
        QCOMPARE(two.ended->outcome, QString("failed"));
        QCOMPARE(one.wire(), fenceLines() + QStringList{"SETG"});
        QCOMPARE(two.wire(), fenceLines().mid(0, 2));
    }
};

QTEST_MAIN(RunTest)
#include "tst_run.moc"
