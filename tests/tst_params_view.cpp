// The tracker's parameters in the window: read back from controls a technician set, shown in a
// fresh window; a read's messages at their points; a partial value touching only its fields.
#include "bulk/dump_parser.h"
#include "support/rig.h"
#include "support/snapshot.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

namespace {

QStringList snapshot(const Rig& r)
{
    return snapshot(&r.form);
}

}  // namespace

class ParamsViewTest : public QObject {
    Q_OBJECT
private slots:
    void whatATechnicianSetComesBackInAFreshWindow_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("boxes");     // typed into, each gets "<name>-v"
        QTest::addColumn<QStringList>("options");   // clicked in this order
        const QStringList common = {"Text1", "Text19", "Text20", "Text3", "Text5", "Text4", "Text31", "Text21",
                                    "Text6", "Text7", "Text8", "Text25", "Text26", "Combo3", "Text9", "Text15",
                                    "Combo4", "Text33", "Text17", "Text10", "Text11", "Text12", "Text13", "Text14"};
        const QStringList fences = {"Check_d2_on", "Check_d2_in", "Check_d5_on", "Option3"};
        // Option18 lies in Frame9, which the pulse arm hides: it is chosen first.
        QTest::newRow("Condor") << "Option7" << common << fences + QStringList{"Option18", "Option15", "Option16"};
        QTest::newRow("Harrier") << "Option9" << common + QStringList{"Text16", "Text32", "Text18"}
                                 << fences + QStringList{"Option22", "Option24", "Option25", "Option27"};
    }
    void whatATechnicianSetComesBackInAFreshWindow()
    {
        QFETCH(QString, model);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, options);
        ShownRig a;
        a.hands.click(model);
        for (const QString& box : boxes)
            a.hands.type(box, box + "-v");
        for (const QString& option : options)
            a.hands.click(option);
        const bulk::Params value = a.form.readParams();
        QCOMPARE(value.gprs->apn.value(), QString("Text1-v"));
        QCOMPARE(value.other->localMinutes.value(), QString("Combo4-v"));
        QCOMPARE(value.fences->fence[1].side, std::optional(bulk::FenceSide::In));
        QCOMPARE(value.gprs->intervalUnit, std::optional(bulk::IntervalUnit::Hour));

        ShownRig b;
        b.hands.click(model);
        const QStringList fresh = snapshot(b);
        b.form.showParams(value);
        QCOMPARE(snapshot(b), snapshot(a));
        QVERIFY(snapshot(b) != fresh);
        QVERIFY(b.form.readParams() == value);
        QVERIFY(b.prompt.shown.isEmpty() && b.wire().isEmpty());   // showing sends and says nothing
    }

    void aValueWithOneGroupChangesOnlyItsControls()
    {
        Rig r;
        r.type("Text1", "kept.apn");
        const QStringList before = snapshot(r);
        bulk::Params numbers;
        numbers.telephones.emplace().number[1] = QString("555");
        r.form.showParams(numbers);
        QStringList after = snapshot(r);
        QCOMPARE(after.size(), before.size());
        QStringList changed;
        for (int i = 0; i < after.size(); ++i)
            if (after[i] != before[i])
                changed << after[i];
        QCOMPARE(changed, QStringList{"Text7: 555"});
    }

    // The messages of a read come where the read is: the unit's before the interval's text (the
    // boxes the button emptied still empty), the local time's after its sign and after the off
    // flags have zeroed their boxes.
    void aReadsMessagesComeAtTheirPoints()
    {
        Rig r;
        r.openPort();
        QStringList seen;
        r.prompt.whileOpen = [&](const QString& text) {
            seen << text + " | " + QStringList{r.text("Text18"), r.text("Text21"), r.text("Text9"),
                                               r.text("Text33"), r.text("Combo3"), r.text("Text15"),
                                               r.text("Combo4")}.join(",");
        };
        r.click("Command8");
        r.port.deliver("A;B;C;D;E;F;G;H;;;;;;\r\n000150;ord:,1E000000050000006d00030010100010\r\nHP:,\r\n"
                       "IMEI:,Ver:,,\r\n1:\r\n2:\r\n3:\r\n4:\r\n5:\r\nE0\r\nE0\r\nE0\r\n"
                       "ed:120;0x0xxx0xxx0,35%\r\nword:1\r\n18\r\n");
        r.tick(3);
        QCOMPARE(seen, (QStringList{"Interval Error | 000150,,,,45%,,00",
                                    "Local Time Error | 000150,000,000,000,35%,-,00"}));
        QVERIFY(!r.on("Option1") && !r.on("Option2") && !r.on("Option3"));
        QCOMPARE(r.form.engine().code(), Code::Idle);
    }
};

QTEST_MAIN(ParamsViewTest)
#include "tst_params_view.moc"
