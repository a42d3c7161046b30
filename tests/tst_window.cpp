// The window as built: an independent sample of captions, parents and pixel places, closing it, and
// the tab order. What clicks show and each model's layout: tst_hands.
#include "support/rig.h"

#include <QSignalSpy>
#include <QTest>

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void aSampleOfControlsWithTheirCaptionsAndPlaces()
    {
        Rig r;
        const struct { const char* name; const char* caption; } captions[] = {
            {"Frame10", "Test && Especia Set"}, {"Command7", "Write All Parameter"}, {"Label37", "FIV TEL"},
            {"Option20", "Input  Fun: Hight Level"}, {"Check_d3_in", "OUT"}, {"Label10", "Over Speed(Km/h)"},
            {"Frame1", "GPRS-SET"}, {"Command5", "OPEN"}};
        for (const auto& c : captions)
            QCOMPARE(QString(c.name) + "=" + r.text(c.name), QString(c.name) + "=" + c.caption);
        const struct { const char* name; const char* parent; QRect place; } places[] = {
            {"Frame1", "Form2", {8, 56, 297, 273}},    {"Command10", "Frame1", {232, 72, 57, 21}},
            {"Combo2", "Form2", {560, 456, 73, 27}},   {"Command5", "Form2", {648, 456, 81, 29}},
            {"Frame5", "Form2", {528, 56, 217, 241}},  {"Frame10", "Form2", {528, 56, 217, 241}},
            {"Frame8", "Frame7", {0, 40, 217, 137}}};
        for (const auto& p : places) {
            QCOMPARE(r.w(p.name)->parentWidget()->objectName(), QString(p.parent));
            QCOMPARE(r.w(p.name)->geometry(), p.place);
        }
    }

    void closingTheWindowEndsTheProgramWithoutAWord()
    {
        Rig r;
        r.openPort();
        r.click("Command27");                       // a transaction still waiting
        QSignalSpy unloaded(&r.form, &Form2::unloaded);
        r.form.show();
        QVERIFY(r.form.close());
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(!r.port.isOpen() && !r.form.engine().timer().isActive() && r.prompt.shown.isEmpty());
    }

    void tabOrderFollowsRowsFrameByFrame()
    {
        ShownRig r;
        r.hands.click("Option7");                    // every frame of PORT-SET usable
        QStringList order;
        for (QWidget* w = r.w("Option6")->nextInFocusChain(); w != r.w("Option6"); w = w->nextInFocusChain())
            if (r.form.isAncestorOf(w) && w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
                order << w->objectName();
        // Rows top to bottom, each left to right, frame by frame.
        const QStringList expected = {
            "Text2", "Text1", "Command10", "Text19", "Text20", "Command12", "Text3", "Text5", "Command21", "Text4",
            "Text31", "Command22", "Text21", "Command23", "Combo1", "Command2", "Text6", "Command13", "Text7",
            "Command14", "Text26", "Command17", "Command4", "Text15", "Combo4", "Command25", "Text33", "Command34",
            "Command35", "Command36", "Text10", "Check_d1_on", "Check_d1_in", "Command29", "Text11", "Command33",
            "Command6", "Combo2", "Command5", "Command8", "Text24"};
        qsizetype at = 0;
        for (const QString& name : expected) {
            at = order.indexOf(name, at);
            QVERIFY2(at >= 0, qPrintable(name + " out of order: " + order.join(' ')));
        }
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
