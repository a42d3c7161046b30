// The transaction engine on a fake port, with ticks driven by the test. Through the window (the
// rows of tst_pages, tst_port): a new send abandoning the last, stray text while idle, the read's
// three quiet ticks, a chain step refused, a lost port.
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
        bool idle() { return engine.code() == Code::Idle && !engine.timer().isActive(); }
    };

private slots:
    void sendWritesOneWholeLineAndArmsTheWatcher()
    {
        Bench b;
        b.sendApn();
        QCOMPARE(b.port.written, QStringList{"SETCinternet\r\n"});
        QCOMPARE(b.engine.code(), Code::Apn);
        QVERIFY(b.engine.timer().isActive());
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
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{"Out-Time !"});
    }

    // While the box is open the event loop keeps running: ticks and more text arrive.
    void anOutcomeIsReportedOnceWhileItsBoxIsOpen_data()
    {
        QTest::addColumn<bool>("replied");
        QTest::newRow("acknowledged") << true;
        QTest::newRow("timed out") << false;
    }
    void anOutcomeIsReportedOnceWhileItsBoxIsOpen()
    {
        QFETCH(bool, replied);
        Bench b;
        b.prompt.whileOpen = [&](const QString&) {
            b.port.deliver(" OK!");
            b.ticks(30);
        };
        b.sendApn();
        if (replied)
            b.port.deliver(" OK!");
        b.ticks(replied ? 1 : 21);
        b.prompt.whileOpen = nullptr;
        b.ticks(1);   // the text that came meanwhile has no transaction left to judge
        QCOMPARE(b.prompt.shown, QStringList{replied ? "Setting OK!" : "Out-Time !"});
        QVERIFY(b.idle());
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
