// The tracker's parameters in the window: what a technician set in every box, read back as one value
// and shown in a fresh window, looks the same there. (That the value holds the right fields shows
// on the wire: the rows build their lines from it, tst_hands.)
#include "support/rig.h"
#include "support/snapshot.h"

#include <QTest>

class ParamsViewTest : public QObject {
    Q_OBJECT
private slots:
    void whatATechnicianSetComesBackInAFreshWindow_data()
    {
        QTest::addColumn<QStringList>("controls");   // the model first; boxes get "<name>-v", the rest a click
        const QStringList common = {"Text1", "Text19", "Text20", "Text3", "Text5", "Text4", "Text31", "Text21",
                                    "Text6", "Text7", "Text8", "Text25", "Text26", "Combo3", "Text9", "Text15",
                                    "Combo4", "Text33", "Text17", "Text10", "Text11", "Text12", "Text13", "Text14",
                                    "Check_d2_on", "Check_d2_in", "Check_d5_on", "Option3"};
        // Option18 lies in Frame9, which the pulse arm hides: it is chosen first.
        QTest::newRow("Condor") << QStringList{"Option7"} + common + QStringList{"Option18", "Option15", "Option16"};
        QTest::newRow("Harrier") << QStringList{"Option9", "Text16", "Text32", "Text18"} + common
                                        + QStringList{"Option22", "Option24", "Option25", "Option27"};
    }
    void whatATechnicianSetComesBackInAFreshWindow()
    {
        QFETCH(QStringList, controls);
        ShownRig a;
        for (const QString& c : controls) {
            if (c.startsWith("Text") || c.startsWith("Combo"))
                a.hands.type(c, c + "-v");
            else
                a.hands.click(c);
        }
        const bulk::Params value = a.form.readParams();

        ShownRig b;
        b.hands.click(controls.first());
        const QStringList fresh = snapshot(&b.form);
        b.form.showParams(value);
        QCOMPARE(snapshot(&b.form), snapshot(&a.form));
        QVERIFY(snapshot(&b.form) != fresh);
        QVERIFY(b.form.readParams() == value);
        QVERIFY(b.prompt.shown.isEmpty() && b.wire().isEmpty());   // showing sends and says nothing
    }
};

QTEST_MAIN(ParamsViewTest)
#include "tst_params_view.moc"
