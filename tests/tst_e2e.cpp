// End to end: the real window, the real serial port path and real message boxes against the
// simulated tracker on a pseudo-terminal, in real time, operated by mouse and keys; the boxes are
// answered by key. What each row sends and where a chain stops is pinned on the fake port
// (tst_hands); here what only the real path shows: time, pieces, a hang-up, the device a name
// opens, and what the tracker holds after a write.
#include "support/dialogs.h"
#include "support/hands.h"
#include "support/live.h"

#include <QAbstractButton>
#include <QTest>

namespace {
struct Bench : TrackerOnCom4 {
    bool ready = up();
    Form2 form;                                      // real serial port and real message boxes
    Hands hands{&form};
    DialogAnswerer boxes;
};
}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Bench> b_;

    void click(const char* name) { b_->hands.click(name); }
    QString text(const char* name) { return controlText(b_->form.findChild<QWidget*>(name)); }
    // Presses the button, waits until the transaction has ended and `boxes` boxes were answered:
    // their texts.
    QString press(const char* name, int boxes = 1)
    {
        const qsizetype before = b_->boxes.texts.size();
        click(name);
        b_->boxes.waitFor(int(before) + boxes, 5000);
        Engine& engine = b_->form.engine();
        if (!QTest::qWaitFor([&] { return engine.code() == Code::Idle && !engine.timer().isActive(); }, 5000))
            return QStringLiteral("(still waiting for the tracker)");
        return b_->boxes.texts.mid(before).join(" | ");
    }

private slots:
    void init()
    {
        b_ = std::make_unique<Bench>();
        QVERIFY(b_->ready);
        QVERIFY(b_->hands.show());
        click("Command5");
    }
    void cleanup() { b_.reset(); }

    // A reply in pieces tens of milliseconds apart was once judged between two of them.
    void chunkedSlowReplyIsJudgedWhole()
    {
        b_->sim.faults().chunkSize = 1;
        b_->sim.faults().chunkDelayMs = 40;
        QCOMPARE(press("Command27"), QString("Setting OK!"));
        b_->sim.faults().crlf = true;
        QCOMPARE(press("Command27"), QString("Setting Error!"));
        QCOMPARE(b_->boxes.titles, QStringList(2, "Korvane V2.1"));
    }

    // A silent tracker times out after about 2.1 s. A device pulled while a reply is awaited is
    // reported once, with no time-out after it, and opens again once it is back.
    void silenceTimesOutAndAPulledDeviceIsReportedOnce()
    {
        b_->sim.faults().silent = true;
        const qint64 before = b_->boxes.clock.elapsed();
        QCOMPARE(press("Command40", 2), QString("Close Shift Detection | Out-Time !"));
        const qint64 waited = b_->boxes.shownAtMs.last() - before;
        QVERIFY2(waited >= 2050 && waited <= 2400, qPrintable(QString::number(waited)));
        QVERIFY(text("Text24").isEmpty());
        click("Command27");
        QTest::qWait(300);
        b_->sim.hangUp();
        QVERIFY(b_->boxes.waitFor(3, 3000));
        QTest::qWait(2500);
        QCOMPARE(b_->boxes.texts.mid(2), QStringList{"Port Lost! Check The Cable And Open It Again"});
        QCOMPARE(text("Command5"), QString("OPEN"));
        QVERIFY(b_->up());
        b_->sim.faults().silent = false;
        click("Command5");
        QCOMPARE(press("Command27"), QString("Setting OK!"));
    }

    // Two trackers attached: the port named in the box, typed or picked, is the one configured.
    void theNamedPortIsTheTrackerConfigured()
    {
        sim::PtyTracker second;
        QVERIFY(second.start() && second.linkAs(6));
        click("Command5");                           // COM4 closed again
        b_->hands.type("Combo2", "COM6");
        click("Command5");
        QCOMPARE(press("Command27"), QString("Setting OK!"));
        b_->hands.pick("Combo2", "COM4");            // closes COM6, opens COM4
        QCOMPARE(press("Command27"), QString("Setting OK!"));
        QCOMPARE(second.received(), QStringList{"SETN1,45"});
        QCOMPARE(b_->sim.received(), QStringList{"SETN1,45"});
    }

    // Every frame written, the boxes emptied and read back from the tracker; then "Initialize ALL"
    // (Cancel first) returns the tracker to its initial settings, as the next read shows.
    void writeEverythingReadItBackThenInitialize()
    {
        click("Option9");
        click("Check2");                             // the password step, and its box
        const QList<std::pair<const char*, QString>> boxes = {
            {"Text1", "apn.two"}, {"Text3", "198.51.100.4"}, {"Text5", "5055"}, {"Text19", "u2"}, {"Text20", "p2"},
            {"Text4", "srv.example"}, {"Text31", "81"}, {"Text21", "045"}, {"Text6", "13900000000"},
            {"Text7", "13900000001"}, {"Text8", "13900000002"}, {"Text25", "13900000003"}, {"Text26", "13900000004"},
            {"Combo3", "30%"}, {"Text9", "110"}, {"Text15", "-05"}, {"Combo4", "30"}, {"Text32", "3"},
            {"Text33", "020"}, {"Text18", "004321"}, {"Text17", "246810"}, {"Text10", "22.5,114.0,300"}};
        for (const auto& [box, value] : boxes)
            b_->hands.type(box, value);
        click("Option2");
        click("Check_d1_on");
        for (const char* write : {"Command2", "Command4", "Command1", "Command29"})
            QCOMPARE(press(write), QString("Setting OK!"));

        for (const auto& [box, value] : boxes)
            b_->hands.type(box, "");
        click("Check_d1_on");
        QCOMPARE(press("Command8", 0), QString());    // a read shows no message
        for (const auto& [box, value] : boxes)
            QCOMPARE(text(box) + " <- " + box, value + " <- " + box);
        QVERIFY(b_->form.findChild<QAbstractButton*>("Option2")->isChecked());
        QCOMPARE(text("Check_d1_on"), QString("ON"));
        QVERIFY(!text("Text2").isEmpty());           // the IMEI comes from the tracker

        const QString sure = "Are you sure you want to revert all the data?";
        b_->boxes.answers = {false};
        QCOMPARE(press("Command6"), sure);
        QCOMPARE(text("Text1"), QString("apn.two"));
        QCOMPARE(press("Command6", 2), sure + " | Revert All The Data!");
        QVERIFY(text("Text1").isEmpty());
        QCOMPARE(press("Command8", 0), QString());
        QCOMPARE(text("Text1") + " " + text("Text17"), QString("cmnet 000000"));   // the tracker's own
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
