// The transaction engine on a fake port, ticks driven by the test: when and how a reply is judged.
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
            QObject::connect(&port, &Port::notified, &engine, &Engine::receive);
            engine.setRule(Code::Apn, [this](const QString&) { engine.acknowledge(text::kOk); });
            port.open();
        }
        void ticks(int n) { for (int i = 0; i < n; ++i) engine.tick(); }
        void sendApn() { QVERIFY(engine.prologue()); engine.send(Code::Apn, "SETCinternet"); }
        bool idle() { return engine.code() == Code::Idle && !engine.timer().isActive(); }
    };

private slots:
    // What arrives is judged on the tick after its last chunk, whole: only the exact token is an
    // acknowledgement. Silence ends on the twenty-first tick; "" is a line event without text.
    void aReplyIsJudgedOnTheTickAfterItsLastChunk_data()
    {
        QTest::addColumn<int>("quiet");              // ticks before the reply
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QString>("message");
        QTest::newRow("token in two chunks") << 3 << QStringList{" O", "K!"} << "Setting OK!";
        QTest::newRow("line end after the token") << 3 << QStringList{" OK!\r\n"} << "Setting Error!";
        QTest::newRow("two acknowledgements") << 3 << QStringList{" OK!", " OK!"} << "Setting Error!";
        QTest::newRow("lower case") << 3 << QStringList{" ok!"} << "Setting Error!";
        QTest::newRow("echo before") << 3 << QStringList{"SETC\r\n", " OK!"} << "Setting Error!";
        QTest::newRow("line event: no reply") << 3 << QStringList{""} << "Out-Time !";
        QTest::newRow("silence") << 20 << QStringList{} << "Out-Time !";
    }
    void aReplyIsJudgedOnTheTickAfterItsLastChunk()
    {
        QFETCH(int, quiet);
        QFETCH(QStringList, chunks);
        QFETCH(QString, message);
        Bench b;
        b.sendApn();
        b.ticks(quiet);
        for (const QString& c : chunks)
            c.isEmpty() ? b.port.lineEvent(3) : b.port.deliver(c);
        QVERIFY(b.prompt.shown.isEmpty());
        b.ticks(1);
        QCOMPARE(b.prompt.shown, QStringList{message});
        QVERIFY(b.idle());
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

    // The technician closes the port while a chain waits: a new send is refused with the monitor
    // left as it was, and the chain's next step ends the transaction instead of writing.
    void closingThePortMidChain()
    {
        Bench b;
        b.engine.setRule(Code::GprsChainApn, [&](const QString&) {
            b.engine.chain(text::kOk, [&] { b.engine.send(Code::GprsChainUser, "SETOa,b"); });
        });
        QVERIFY(b.engine.prologue());
        b.engine.send(Code::GprsChainApn, "SETCa");
        b.port.deliver(" OK!");
        b.port.close();
        QVERIFY(!b.engine.prologue());
        QCOMPARE(b.engine.monitor(), QString(" OK!"));
        b.ticks(1);
        QCOMPARE(b.prompt.shown, (QStringList{"PLS Open COMM Port", "PLS Open COMM Port"}));
        QVERIFY(b.idle());
        QCOMPARE(b.port.written, QStringList{"SETCa\r\n"});
    }
};

QTEST_MAIN(EngineTest)
#include "tst_engine.moc"
