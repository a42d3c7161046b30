// End to end: the real window, the real serial port path and real message boxes against the
// simulated tracker on a pseudo-terminal, in real time, operated by mouse and keys; the boxes are
// answered by key.
#include "pages/form2.h"
#include "sim/pty_tracker.h"
#include "support/dialogs.h"
#include "support/hands.h"
#include "support/pty.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTest>

class EndToEndTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PortsFolder> folder_;
    std::unique_ptr<sim::PtyTracker> sim_;
    std::unique_ptr<Form2> form_;
    std::unique_ptr<DialogAnswerer> boxes_;
    std::unique_ptr<Hands> hands_;

    template <class T = QWidget> T* w(const char* name) { return form_->findChild<T*>(name); }
    void click(const char* name) { hands_->click(name); }
    void type(const char* name, const QString& text) { hands_->type(name, text); }
    QString text(const char* name) { return controlText(w(name)); }
    bool idle() { return form_->engine().code() == Code::Idle && !form_->engine().timer().isActive(); }
    // Waits for the transaction to end and for its boxes to be answered.
    QStringList outcome(int boxes = 1, int timeoutMs = 5000)
    {
        boxes_->waitFor(boxes, timeoutMs);
        if (!QTest::qWaitFor([this] { return idle(); }, timeoutMs))
            return {QStringLiteral("(still waiting for the tracker)")};
        return boxes_->texts;
    }

private slots:
    void init()
    {
        folder_ = std::make_unique<PortsFolder>();
        sim_ = std::make_unique<sim::PtyTracker>();
        QVERIFY(sim_->start());
        QVERIFY(sim_->linkAs(4));
        form_ = std::make_unique<Form2>();
        hands_ = std::make_unique<Hands>(form_.get());
        QVERIFY(hands_->show());
        boxes_ = std::make_unique<DialogAnswerer>();
        click("Command5");
        QCOMPARE(text("Command5"), QString("CLOSE"));
    }
    void cleanup()
    {
        boxes_.reset();
        hands_.reset();
        form_.reset();
        sim_.reset();
        folder_.reset();
    }

    void applyIsAcknowledged()
    {
        type("Text1", "internet.example");
        click("Command10");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        QCOMPARE(boxes_->titles, QStringList{"Korvane V2.1"});
        QCOMPARE(sim_->received(), QStringList{"SETCinternet.example"});
        QCOMPARE(sim_->tracker().params().gprs->apn.value(), QString("internet.example"));
    }

    void chunkedSlowReplyIsJudgedWhole()
    {
        sim_->faults().chunkSize = 1;
        sim_->faults().chunkDelayMs = 40;
        click("Command27");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        sim_->faults().crlf = true;
        click("Command27");
        QCOMPARE(outcome(2), (QStringList{"Setting OK!", "Setting Error!"}));
    }

    void silentTrackerTimesOutAfterAboutTwoSeconds()
    {
        sim_->faults().silent = true;
        QElapsedTimer t;
        t.start();
        const qint64 before = boxes_->clock.elapsed();
        click("Command40");
        QCOMPARE(outcome(2, 4000), (QStringList{"Close Shift Detection", "Out-Time !"}));
        const qint64 waited = boxes_->shownAtMs.last() - before;
        QVERIFY2(waited >= 2050 && waited <= 2400, qPrintable(QString::number(waited)));
        QVERIFY(text("Text24").isEmpty());
    }

    void pulledDeviceIsReportedOnceAndTheTechnicianCanReopen()
    {
        sim_->faults().silent = true;
        click("Command27");
        QTest::qWait(300);
        sim_->hangUp();
        QCOMPARE(outcome(1, 3000), QStringList{text::kPortLost});
        QTest::qWait(2500);                          // no timeout box after the loss
        QCOMPARE(boxes_->texts.size(), 1);
        QCOMPARE(text("Command5"), QString("OPEN"));
        QVERIFY(sim_->start());
        QVERIFY(sim_->linkAs(4));
        sim_->faults().silent = false;
        click("Command5");
        QCOMPARE(text("Command5"), QString("CLOSE"));
        click("Command27");
        QCOMPARE(outcome(2), (QStringList{text::kPortLost, "Setting OK!"}));
    }

    void gprsChainAcknowledged()
    {
        type("Text1", "apn.one");
        type("Text3", "203.0.113.9");
        type("Text5", "7700");
        type("Text19", "user");
        type("Text20", "secret");
        type("Text4", "http://track.example/api");
        type("Text31", "8080");
        type("Text21", "060");
        click("Option1");
        click("Command2");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        QCOMPARE(sim_->received(), (QStringList{"SETCapn.one,203.0.113.9:7700", "SETOuser,secret",
                                                "SETRhttp://track.example/api;8080", "SETM1,060S"}));
    }

    // The whole GPRS frame as a technician does it: every box typed, every "Apply" pressed (the
    // last by Enter), then "WRITE"; each box answered by key.
    void gprsFrameRowByRowThenWrite()
    {
        const struct { std::initializer_list<std::pair<const char*, const char*>> boxes; const char* apply; } rows[] = {
            {{{"Text1", "apn.three"}}, "Command10"},
            {{{"Text19", "fleet"}, {"Text20", "pa55"}}, "Command12"},
            {{{"Text3", "192.0.2.44"}, {"Text5", "6001"}}, "Command21"},
            {{{"Text4", "http://fleet.example/in"}, {"Text31", "8443"}}, "Command22"},
        };
        int answered = 0;
        for (const auto& row : rows) {
            for (const auto& [box, value] : row.boxes)
                type(box, value);
            click(row.apply);
            QCOMPARE(outcome(++answered).value(answered - 1), QString("Setting OK!"));
        }
        type("Text21", "120");
        click("Option3");
        hands_->tab();
        QCOMPARE(hands_->focus()->objectName(), QString("Command23"));
        hands_->key(Qt::Key_Return);
        QCOMPARE(outcome(++answered).value(answered - 1), QString("Setting OK!"));
        click("Command2");
        QCOMPARE(outcome(++answered).value(answered - 1), QString("Setting OK!"));
        const QStringList oneByOne = {"SETCapn.three", "SETOfleet,pa55", "SETCapn.three,192.0.2.44:6001",
                                  "SETRhttp://fleet.example/in;8443", "SETM1,120H"};
        const QStringList chain = {"SETCapn.three,192.0.2.44:6001", "SETOfleet,pa55",
                                   "SETRhttp://fleet.example/in;8443", "SETM1,120H"};
        QCOMPARE(sim_->received(), oneByOne + chain);
        const bulk::Gprs& g = *sim_->tracker().params().gprs;
        QCOMPARE(*g.apn + "|" + *g.apnUser + "|" + *g.apnPassword + "|" + *g.serverIp + "|" + *g.serverPort,
                 QString("apn.three|fleet|pa55|192.0.2.44|6001"));
        QCOMPARE(*g.httpAddress + ";" + *g.httpPort + ";" + *g.interval, QString("http://fleet.example/in;8443;120"));
        QCOMPARE(g.intervalUnit, bulk::IntervalUnit::Hour);
    }

    // Two trackers attached: the port named in the box is the one that is opened, typed or picked,
    // and a name the box cannot mean opens nothing at all.
    void theTypedPortIsTheTrackerConfigured()
    {
        sim::PtyTracker second;
        QVERIFY(second.start());
        QVERIFY(second.linkAs(6));
        click("Command5");                           // COM4 closed again
        type("Combo2", "COM6");
        click("Command5");
        QCOMPARE(text("Command5"), QString("CLOSE"));
        click("Command27");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        QCOMPARE(second.received(), QStringList{"SETN1,45"});
        QVERIFY(sim_->received().isEmpty());
        click("Command5");
        type("Combo2", "COM16");
        click("Command5");
        QCOMPARE(outcome(2), (QStringList{"Setting OK!", "Invalid PORT"}));
        QCOMPARE(text("Text24"), QString("8002"));
        QCOMPARE(text("Command5"), QString("OPEN"));
        hands_->pick("Combo2", "COM4");              // a pick opens at once
        QCOMPARE(text("Command5"), QString("CLOSE"));
        click("Command27");
        QCOMPARE(outcome(3).value(2), QString("Setting OK!"));
        QCOMPARE(sim_->received(), QStringList{"SETN1,45"});
        QCOMPARE(second.received().size(), 1);
    }

    void gprsChainBrokenAtTheUserStep()
    {
        sim_->faults().failOn = "SETO";
        click("Command2");
        QCOMPARE(outcome(), QStringList{"Setting Error!"});
        QCOMPARE(sim_->received(), (QStringList{"SETC", "SETO,"}));
    }

    void telephoneChainWithEmptyBoxesDeletesFive()
    {
        click("Command4");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        QCOMPARE(sim_->received(), (QStringList{"SETA1,D", "SETA2,D", "SETA3,D", "SETA4,D", "SETA5,D"}));
    }

    void telephoneChainBrokenAtSlotThree()
    {
        sim_->faults().failOn = "SETA3,";
        type("Text6", "111");
        type("Text25", "444");
        click("Command4");
        QCOMPARE(outcome(), QStringList{"Setting Error!"});
        QCOMPARE(sim_->received(), (QStringList{"SETA1,111", "SETA2,D", "SETA3,D"}));
        QCOMPARE(sim_->tracker().params().telephones->number[0].value(), QString("111"));
        QCOMPARE(sim_->tracker().params().telephones->number[3].value(), QString());
    }

    void condorLineFunctionChain()
    {
        click("Option7");
        click("Command36");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        QCOMPARE(sim_->received(), (QStringList{"SETS0,2,0", "SETXD2B0F1"}));
    }

    void harrierCutOff()
    {
        click("Option9");
        click("Command41");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        QCOMPARE(sim_->received(), QStringList{"SETT1"});
    }

    void writeEverythingThenReadItBack()
    {
        click("Option9");
        type("Text1", "apn.two");
        type("Text3", "198.51.100.4");
        type("Text5", "5055");
        type("Text19", "u2");
        type("Text20", "p2");
        type("Text4", "srv.example");
        type("Text31", "81");
        type("Text21", "045");
        click("Option2");
        click("Command2");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        const char* tels[] = {"Text6", "Text7", "Text8", "Text25", "Text26"};
        for (int i = 0; i < 5; ++i)
            type(tels[i], QString("1390000000%1").arg(i));
        click("Command4");
        QCOMPARE(outcome(2), (QStringList{"Setting OK!", "Setting OK!"}));
        type("Combo3", "30%");
        type("Text9", "110");
        type("Text15", "-05");
        type("Combo4", "30");
        type("Text32", "3");
        type("Text33", "020");
        type("Text18", "004321");
        click("Check2");
        type("Text17", "246810");
        click("Command1");
        QCOMPARE(outcome(3), (QStringList{"Setting OK!", "Setting OK!", "Setting OK!"}));
        type("Text10", "22.5,114.0,300");
        click("Check_d1_on");
        click("Command29");
        QCOMPARE(outcome(4).size(), 4);

        const QStringList boxes = {"Text1", "Text3", "Text5", "Text19", "Text20", "Text4", "Text31", "Text21",
                                   "Text6", "Text7", "Text8", "Text25", "Text26", "Combo3", "Text9", "Text15",
                                   "Combo4", "Text32", "Text33", "Text18", "Text17", "Text10"};
        QHash<QString, QString> written;
        for (const QString& b : boxes)
            written[b] = text(qPrintable(b));
        for (const QString& b : boxes)
            type(qPrintable(b), "");
        click("Check_d1_on");
        click("Command8");
        QCOMPARE(outcome(4).size(), 4);              // a read shows no message
        for (const QString& b : boxes)
            QCOMPARE(text(qPrintable(b)) + " <- " + b, written[b] + " <- " + b);
        QVERIFY(w<QAbstractButton>("Option2")->isChecked());
        QCOMPARE(text("Check_d1_on"), QString("ON"));
        QVERIFY(!text("Text2").isEmpty());           // the IMEI comes from the tracker
    }

    void initializeThenReadShowsInitialValues()
    {
        type("Text1", "changed");
        click("Command10");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        const sim::Tracker fresh;
        boxes_->answers = {false};
        click("Command6");
        QCOMPARE(outcome(2), (QStringList{"Setting OK!", "Are you sure you want to revert all the data?"}));
        QCOMPARE(text("Text1"), QString("changed"));
        click("Command6");
        QCOMPARE(outcome(4).size(), 4);              // "RESET!" at the start: the tool's own message
        QCOMPARE(boxes_->texts.last(), QString("Revert All The Data!"));
        QVERIFY(text("Text1").isEmpty());
        click("Command8");
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 3000);
        QCOMPARE(text("Text1"), fresh.params().gprs->apn.value());
        QCOMPARE(text("Text17"), fresh.params().other->password.value());
        QCOMPARE(boxes_->texts.size(), 4);
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
