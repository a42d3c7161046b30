// The window as built: an independent sample of captions, parents and pixel places, and closing it.
// What clicks show, each model's layout and the tab order: tst_hands; how it is drawn: tst_look.
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
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
