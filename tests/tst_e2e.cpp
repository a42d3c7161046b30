// End to end: the real window, the real serial port path and real message boxes against the
// simulated tracker on a pseudo-terminal, in real time, operated by mouse and keys; the boxes are
// answered by key.
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
    void type(const char* name, const QString& text) { b_->hands.type(name, text); }
    QString text(const char* name) { return controlText(b_->form.findChild<QWidget*>(name)); }
    bool idle() { return b_->form.engine().code() == Code::Idle && !b_->form.engine().timer().isActive(); }
    // Waits for the transaction to end and for its boxes to be answered.
    QStringList outcome(int boxes = 1, int timeoutMs = 5000)
    {
        b_->boxes.waitFor(boxes, timeoutMs);
        if (!QTest::qWaitFor([this] { return idle(); }, timeoutMs))
            return {QStringLiteral("(still waiting for the tracker)")};
        return b_->boxes.texts;
    }

private slots:
    void init()
    {
        b_ = std::make_unique<Bench>();
        QVERIFY(b_->ready);
        QVERIFY(b_->hands.show());
        click("Command5");
        QCOMPARE(text("Command5"), QString("CLOSE"));
    }
    void cleanup() { b_.reset(); }

    void chunkedSlowReplyIsJudgedWhole()
    {
        b_->sim.faults().chunkSize = 1;
        b_->sim.faults().chunkDelayMs = 40;
        click("Command27");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        b_->sim.faults().crlf = true;
        click("Command27");
        QCOMPARE(outcome(2), (QStringList{"Setting OK!", "Setting Error!"}));
    }

    void silentTrackerTimesOutAfterAboutTwoSeconds()
    {
        b_->sim.faults().silent = true;
        const qint64 before = b_->boxes.clock.elapsed();
        click("Command40");
        QCOMPARE(outcome(2, 4000), (QStringList{"Close Shift Detection", "Out-Time !"}));
        const qint64 waited = b_->boxes.shownAtMs.last() - before;
        QVERIFY2(waited >= 2050 && waited <= 2400, qPrintable(QString::number(waited)));
        QVERIFY(text("Text24").isEmpty());
    }

    void pulledDeviceIsReportedOnceAndTheTechnicianCanReopen()
    {
        b_->sim.faults().silent = true;
        click("Command27");
        QTest::qWait(300);
        b_->sim.hangUp();
        const QString lost = "Port Lost! Check The Cable And Open It Again";
        QCOMPARE(outcome(1, 3000), QStringList{lost});
        QTest::qWait(2500);                          // no timeout box after the loss
        QCOMPARE(b_->boxes.texts.size(), 1);
        QCOMPARE(text("Command5"), QString("OPEN"));
        QVERIFY(b_->up());
        b_->sim.faults().silent = false;
        click("Command5");
        QCOMPARE(text("Command5"), QString("CLOSE"));
        click("Command27");
        QCOMPARE(outcome(2), (QStringList{lost, "Setting OK!"}));
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
        b_->hands.tab();
        QCOMPARE(b_->hands.focus()->objectName(), QString("Command23"));
        b_->hands.key(Qt::Key_Return);
        QCOMPARE(outcome(++answered).value(answered - 1), QString("Setting OK!"));
        click("Command2");
        QCOMPARE(outcome(++answered).value(answered - 1), QString("Setting OK!"));
        QCOMPARE(b_->boxes.titles, QStringList(answered, "Korvane V2.1"));
        const QStringList oneByOne = {"SETCapn.three", "SETOfleet,pa55", "SETCapn.three,192.0.2.44:6001",
                                      "SETRhttp://fleet.example/in;8443", "SETM1,120H"};
        const QStringList chain = {"SETCapn.three,192.0.2.44:6001", "SETOfleet,pa55",
                                   "SETRhttp://fleet.example/in;8443", "SETM1,120H"};
        QCOMPARE(b_->sim.received(), oneByOne + chain);
        const bulk::Gprs& g = *b_->sim.tracker().params().gprs;
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
        QVERIFY(b_->sim.received().isEmpty());
        click("Command5");
        type("Combo2", "COM16");
        click("Command5");
        QCOMPARE(outcome(2), (QStringList{"Setting OK!", "Invalid PORT"}));
        QCOMPARE(text("Text24"), QString("8002"));
        QCOMPARE(text("Command5"), QString("OPEN"));
        b_->hands.pick("Combo2", "COM4");            // a pick opens at once
        QCOMPARE(text("Command5"), QString("CLOSE"));
        click("Command27");
        QCOMPARE(outcome(3).value(2), QString("Setting OK!"));
        QCOMPARE(b_->sim.received(), QStringList{"SETN1,45"});
        QCOMPARE(second.received().size(), 1);
    }

    // Chains judged step by step on the real tracker's replies. Steps: "Name" clicks, "Name=text"
    // types. The five empty telephone slots and the Harrier's cut-off: tst_pages.
    void chains_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("failOn");         // the tracker answers ERROR! to this prefix
        QTest::addColumn<QStringList>("wire");
        QTest::addColumn<QString>("message");
        QTest::newRow("GPRS WRITE broken at the user step") << QStringList{"Command2"} << "SETO"
            << QStringList{"SETC", "SETO,"} << "Setting Error!";
        QTest::newRow("telephone WRITE broken at slot three") << QStringList{"Text6=111", "Text25=444", "Command4"}
            << "SETA3," << QStringList{"SETA1,111", "SETA2,D", "SETA3,D"} << "Setting Error!";
        QTest::newRow("Condor's line function, two steps") << QStringList{"Option7", "Command36"} << ""
            << QStringList{"SETS0,2,0", "SETXD2B0F1"} << "Setting OK!";
    }
    void chains()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, failOn);
        QFETCH(QStringList, wire);
        QFETCH(QString, message);
        b_->sim.faults().failOn = failOn;
        for (const QString& step : steps) {
            if (step.contains('='))
                type(qPrintable(step.section('=', 0, 0)), step.section('=', 1));
            else
                click(qPrintable(step));
        }
        QCOMPARE(outcome(), QStringList{message});
        QCOMPARE(b_->sim.received(), wire);
    }

    void writeEverythingThenReadItBack()
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
            type(box, value);
        click("Option2");
        click("Check_d1_on");
        int answered = 0;
        for (const char* write : {"Command2", "Command4", "Command1"}) {
            click(write);
            QCOMPARE(outcome(++answered).value(answered - 1), QString("Setting OK!"));
        }
        click("Command29");
        QCOMPARE(outcome(4).size(), 4);

        for (const auto& [box, value] : boxes)
            type(box, "");
        click("Check_d1_on");
        click("Command8");
        QCOMPARE(outcome(4).size(), 4);              // a read shows no message
        for (const auto& [box, value] : boxes)
            QCOMPARE(text(box) + " <- " + box, value + " <- " + box);
        QVERIFY(b_->form.findChild<QAbstractButton*>("Option2")->isChecked());
        QCOMPARE(text("Check_d1_on"), QString("ON"));
        QVERIFY(!text("Text2").isEmpty());           // the IMEI comes from the tracker
    }

    void initializeThenReadShowsInitialValues()
    {
        type("Text1", "changed");
        click("Command10");
        QCOMPARE(outcome(), QStringList{"Setting OK!"});
        b_->boxes.answers = {false};
        click("Command6");
        QCOMPARE(outcome(2), (QStringList{"Setting OK!", "Are you sure you want to revert all the data?"}));
        QCOMPARE(text("Text1"), QString("changed"));
        click("Command6");
        QCOMPARE(outcome(4).size(), 4);              // "RESET!" at the start: the tool's own message
        QCOMPARE(b_->boxes.texts.last(), QString("Revert All The Data!"));
        QVERIFY(text("Text1").isEmpty());
        click("Command8");
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 3000);
        const sim::Tracker fresh;
        QCOMPARE(text("Text1"), fresh.params().gprs->apn.value());
        QCOMPARE(text("Text17"), fresh.params().other->password.value());
        QCOMPARE(b_->boxes.texts.size(), 4);
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
