// The transaction engine on a fake port, with ticks driven by the test.
#include "link/engine.h"
#include "support/fakes.h"

#include <QTest>

class EngineTest : public QObject {
    Q_OBJECT

    struct Bench {
        FakePort port;
        ScriptedPrompt prompt;
        Engine engine{port, prompt};
        Bench()
        {
            engine.timer().setInterval(100);
            QObject::connect(&port, &Port::notified, &engine, &Engine::receive);
            engine.setRule(Code::Apn, [this](const QString&) { engine.acknowledge(text::kOk); });
            port.open();
        }
        void ticks(int n) { for (int i = 0; i < n; ++i) engine.tick(); }
        void sendApn() { QVERIFY(engine.prologue()); engine.send(Code::Apn, "SETCinternet"); }
        bool idle() { return engine.code() == Code::Idle && !engine.replied() && !engine.timer().isActive(); }
    };

private slots:
    void sendWritesOneWholeLineAndArmsTheWatcher()
    {
        Bench b;
        b.sendApn();
        QCOMPARE(b.port.written, QStringList{"SETCinternet\r\n"});
        QCOMPARE(b.engine.code(), Code::Apn);
        QCOMPARE(b.engine.ticks(), quint8(0));
        QVERIFY(b.engine.timer().isActive());
        QCOMPARE(b.engine.timer().interval(), 100);
    }

    void closedPortRefusesBeforeAnythingChanges()
    {
        Bench b;
        b.sendApn();
        b.port.deliver("partial");
        b.port.close();
        QVERIFY(!b.engine.prologue());
        QCOMPARE(b.prompt.shown, QStringList{"PLS Open COMM Port"});
        QCOMPARE(b.engine.monitor(), QString("partial"));   // nothing emptied
        QCOMPARE(b.engine.code(), Code::Apn);
    }

    void acknowledgementIsJudgedOnTheTickAfterTheLastChunk()
    {
        Bench b;
        b.sendApn();
        b.ticks(3);
        b.port.deliver(" O");
        QCOMPARE(b.engine.ticks(), quint8(20));
        b.port.deliver("K!");
        QVERIFY(b.prompt.shown.isEmpty());
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"Setting OK!"});
        QVERIFY(b.idle());
        QCOMPARE(b.engine.monitor(), QString(" OK!"));   // the monitor keeps its text
    }

    void anythingButTheExactTokenIsAnError_data()
    {
        QTest::addColumn<QStringList>("chunks");
        QTest::newRow("line end after the token") << QStringList{" OK!\r\n"};
        QTest::newRow("two acknowledgements") << QStringList{" OK!", " OK!"};
        QTest::newRow("lower case") << QStringList{" ok!"};
        QTest::newRow("no leading blank") << QStringList{"OK!"};
        QTest::newRow("echo before") << QStringList{"SETC\r\n", " OK!"};
    }
    void anythingButTheExactTokenIsAnError()
    {
        QFETCH(QStringList, chunks);
        Bench b;
        b.sendApn();
        for (const QString& c : chunks)
            b.port.deliver(c);
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"Setting Error!"});
        QVERIFY(b.idle());
    }

    void silenceTimesOutOnTheTwentyFirstTick()
    {
        Bench b;
        b.sendApn();
        b.ticks(20);
        QVERIFY(b.prompt.shown.isEmpty());
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"Out-Time !"});
        QVERIFY(b.idle());
        QVERIFY(b.engine.monitor().isEmpty());
    }

    void aLineEventWithoutTextRearmsButCountsAsNoReply()
    {
        Bench b;
        b.sendApn();
        b.ticks(2);
        b.port.lineEvent(3);
        QCOMPARE(b.engine.ticks(), quint8(20));
        QVERIFY(!b.engine.replied());
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"Out-Time !"});
    }

    void aNewSendAbandonsTheOldTransactionSilently()
    {
        Bench b;
        b.engine.setRule(Code::Http, [&](const QString&) { b.engine.acknowledge(text::kOk); });
        b.sendApn();
        b.port.deliver("junk");
        QVERIFY(b.engine.prologue());
        b.engine.send(Code::Http, "SETRx;1");
        QVERIFY(b.engine.monitor().isEmpty());
        QCOMPARE(b.engine.code(), Code::Http);
        b.ticks(20);
        QVERIFY(b.prompt.shown.isEmpty());
        b.port.deliver(" OK!");
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"Setting OK!"});
    }

    void strayTextWhileIdleEndsSilently()
    {
        Bench b;
        b.port.deliver("GPS FIX\r\n");
        QVERIFY(b.engine.timer().isActive());
        b.ticks(1);
        QVERIFY(b.prompt.shown.isEmpty());
        QVERIFY(b.idle());
        QCOMPARE(b.engine.monitor(), QString("GPS FIX\r\n"));
    }

    void readAllWaitsThreeTicksAfterEachChunk()
    {
        Bench b;
        int judged = 0;
        b.engine.setRule(Code::ReadAll, [&](const QString&) { ++judged; b.engine.end(); });
        QVERIFY(b.engine.prologue());
        b.engine.send(Code::ReadAll, "SETG");
        b.port.deliver("A1;B");
        b.ticks(2);
        b.port.deliver("2;C");
        b.ticks(2);
        QCOMPARE(judged, 0);
        b.ticks(1);
        QCOMPARE(judged, 1);
    }

    void chainStepRefusalIsFollowedByOutTime()
    {
        Bench b;
        b.engine.setRule(Code::GprsChainHttp, [&](const QString&) {
            b.engine.chain(text::kOk, [&] { b.engine.inform("PLS Input 3 Digits"); });
        });
        QVERIFY(b.engine.prologue());
        b.engine.send(Code::GprsChainHttp, "SETRa;1");
        b.port.deliver(" OK!");
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"PLS Input 3 Digits"});
        QCOMPARE(b.engine.code(), Code::GprsChainHttp);
        QVERIFY(b.engine.monitor().isEmpty());
        b.ticks(1);
        QCOMPARE(b.prompt.shown, (QStringList{"PLS Input 3 Digits", "Out-Time !"}));
        QVERIFY(b.idle());
        QCOMPARE(b.port.written.size(), 1);
    }

    void outcomeIsReportedOnceWhileItsBoxIsOpen()
    {
        Bench b;
        // While the box is open the event loop keeps running: ticks and more text arrive.
        b.prompt.whileOpen = [&](const QString&) {
            b.port.deliver(" OK!");
            b.ticks(30);
        };
        b.sendApn();
        b.port.deliver(" OK!");
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"Setting OK!"});
        b.prompt.whileOpen = nullptr;
        b.ticks(1);   // the text that came meanwhile has no transaction left to judge
        QCOMPARE(b.prompt.shown, QStringList{"Setting OK!"});
        QVERIFY(b.idle());
    }

    void timeoutIsReportedOnceWhileItsBoxIsOpen()
    {
        Bench b;
        b.prompt.whileOpen = [&](const QString&) { b.ticks(50); };
        b.sendApn();
        b.ticks(21);
        QCOMPARE(b.prompt.shown, QStringList{"Out-Time !"});
    }

    void aLostPortEndsTheTransactionWithOneMessage()
    {
        Bench b;
        QObject::connect(&b.port, &Port::lost, &b.engine, &Engine::portLost);
        b.sendApn();
        b.port.pull();
        QCOMPARE(b.prompt.shown, QStringList{text::kPortLost});
        QVERIFY(b.idle());
        b.ticks(30);
        QCOMPARE(b.prompt.shown.size(), 1);
    }

    void aChainStepAfterTheTechnicianClosedThePortEndsTheTransaction()
    {
        Bench b;
        b.engine.setRule(Code::GprsChainApn, [&](const QString&) {
            b.engine.chain(text::kOk, [&] { b.engine.send(Code::GprsChainUser, "SETOa,b"); });
        });
        QVERIFY(b.engine.prologue());
        b.engine.send(Code::GprsChainApn, "SETCa");
        b.port.deliver(" OK!");
        b.port.close();
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"PLS Open COMM Port"});
        QVERIFY(b.idle());
        QCOMPARE(b.port.written, QStringList{"SETCa\r\n"});
    }

    void theMonitorStaysBoundedUnderAnEndlessStream()
    {
        Bench b;
        const QString chunk(4096, QLatin1Char('x'));
        for (int i = 0; i < 1200; ++i)   // about 4.7 million characters
            b.port.deliver(chunk);
        QVERIFY(b.engine.monitor().size() >= Engine::kMonitorKeep);
        QVERIFY(b.engine.monitor().size() <= 2 * Engine::kMonitorKeep);
        b.ticks(1);
        QVERIFY(b.prompt.shown.isEmpty());
        // A reply shorter than the bound is still judged on its whole text.
        b.sendApn();
        b.port.deliver(" OK!");
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"Setting OK!"});
    }
};

QTEST_MAIN(EngineTest)
#include "tst_engine.moc"
