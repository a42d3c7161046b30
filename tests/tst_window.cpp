// The window as built and laid out: a sample of controls, the start state, what each model shows,
// captions that follow the options, tab order and names for assistive tools. Options and check
// boxes are clicked with the mouse.
#include "support/rig.h"

#include <QGroupBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

class WindowTest : public QObject {
    Q_OBJECT

    static QString captionOf(QWidget* w) { return controlText(w); }

    // Each entry "Name=caption", "Name [x]" (selected), "Name [ ]", "Name hidden", or "usable:" and
    // the names of the model-dependent controls that are shown and enabled.
    static void expect(Rig& r, const QStringList& entries)
    {
        for (const QString& e : entries) {
            if (e.startsWith("usable:")) {
                QString seen = "usable:";
                for (const char* n : {"Frame5", "Frame10", "Label22", "Text18", "Command28", "Label19", "Text16",
                                      "Label33", "Text32", "Command39", "Check1", "Command38", "Command11"})
                    if (r.w(n)->isVisible() && r.w(n)->isEnabled())
                        seen += QString(" ") + n;
                QCOMPARE(seen, e);
                continue;
            }
            qsizetype cut = 0;
            while (cut < e.size() && e[cut] != '=' && e[cut] != ' ')
                ++cut;
            const QString name = e.left(cut), rest = e.mid(cut);
            if (rest == " [x]" || rest == " [ ]")
                QVERIFY2(r.on(name) == (rest == " [x]"), qPrintable(e));
            else if (rest == " hidden")
                QVERIFY2(r.w(name)->isHidden(), qPrintable(e));
            else
                QCOMPARE(name + "=" + captionOf(r.w(name)), e);
        }
    }

private slots:
    void aSampleOfControlsWithTheirCaptionsAndPlaces()
    {
        Rig r;
        QCOMPARE(r.form.windowTitle(), QString("Korvane V2.1"));
        QCOMPARE(r.form.size(), QSize(753, 585));
        expect(r, {"Frame10=Test && Especia Set", "Command7=Write All Parameter", "Label37=FIV TEL",
                   "Option20=Input  Fun: Hight Level", "Check_d3_in=OUT", "Label10=Over Speed(Km/h)",
                   "Frame1=GPRS-SET", "Command5=OPEN"});
        const struct { const char* name; const char* parent; QRect place; } places[] = {
            {"Frame1", "Form2", {8, 56, 297, 273}},    {"Command10", "Frame1", {232, 72, 57, 21}},
            {"Combo2", "Form2", {560, 456, 73, 27}},   {"Command5", "Form2", {648, 456, 81, 29}},
            {"Frame5", "Form2", {528, 56, 217, 241}},  {"Frame10", "Form2", {528, 56, 217, 241}},
            {"Frame8", "Frame7", {0, 40, 217, 137}}};
        for (const auto& p : places) {
            QCOMPARE(r.w(p.name)->parentWidget()->objectName(), QString(p.parent));
            QCOMPARE(r.w(p.name)->geometry(), p.place);
        }
        QStringList ports;
        for (int i = 0; i < r.w<QComboBox>("Combo2")->count(); ++i) ports << r.w<QComboBox>("Combo2")->itemText(i);
        QCOMPARE(ports, (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"}));
        QCOMPARE(QStringList({r.text("Combo2"), r.text("Combo3"), r.text("Combo4"), r.text("Combo1"),
                              r.text("Text15"), r.text("Text9"), r.text("Text24")}),
                 (QStringList{"COM4", "45%", "00", "TCP", "+00", "000", ""}));
    }

    void startStateIsThePetrelLayoutAndDeadControlsStayDead()
    {
        ShownRig r;
        for (const char* n : {"Command7", "Option10", "Option11", "Option12", "Command9", "Text22", "Command24",
                              "Text27", "Command18", "Command20", "Command11", "Check1", "Text16", "Command38",
                              "Text32", "Command39", "Text18", "Command28", "Frame5"})
            QVERIFY2(!r.w(n)->isEnabled(), n);
        expect(r, {"Frame10 hidden", "Command37 hidden", "Label30 hidden", "Label31 hidden", "Text30 hidden",
                   "Text23 hidden", "Option6 [x]", "Option5 [x]", "Option14 [x]", "Option17 [x]", "Option19 [x]",
                   "Option1 [ ]", "Option2 [ ]", "Option3 [ ]", "Option21 [ ]", "Option24 [ ]", "Option26 [ ]",
                   "Option28 [ ]", "Check2 [ ]"});
        QVERIFY(!r.w("Frame5")->isHidden() && r.w("Check2")->isEnabled());
        for (const char* model : {"Option7", "Option8", "Option9", "Option6"}) {
            r.hands.click(model);
            r.hands.click("Option11");
            QVERIFY(!r.w("Command7")->isEnabled() && r.w("Label30")->isHidden());
            expect(r, {"Option10 [ ]", "Option11 [ ]", "Option12 [ ]"});
        }
    }

    // What each model offers, reached from Harrier (or Falcon) with both check boxes ticked; how
    // Condor and Falcon name the port page's lines, and how the arm options recaption it.
    void whatTheClicksShow_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("expected");
        const QStringList fromHarrier = {"Option9", "Check1", "Check2"};
        const QStringList unticked = {"Check2 [ ]", "Check1 [ ]"};
        QTest::newRow("Petrel from Harrier") << fromHarrier + QStringList{"Option6"} << QStringList{"usable:", "Check2 [ ]"};
        QTest::newRow("Condor from Harrier") << fromHarrier + QStringList{"Option7"} << QStringList{"usable: Frame5", "Check2 [ ]"};
        QTest::newRow("Falcon from Harrier") << fromHarrier + QStringList{"Option8"}
                                << QStringList{"usable: Frame5 Label19 Text16 Check1"} + unticked;
        QTest::newRow("Harrier from Falcon") << QStringList{"Option8", "Check1", "Check2", "Option9"}
            << QStringList{"usable: Frame10 Label22 Text18 Command28 Label19 Text16 Label33 Text32 Command39 Check1"}
                   + unticked;
        const QString condorPulse = "Label25=Port11 Is Negative Pulse Arm Fun,\r\nPort8 Is Positive Pulse Disarm Fun";
        QTest::newRow("Condor captions") << QStringList{"Option9", "Option7"}
            << QStringList{"Frame8=Port11 Input Level Select", "Label24=Port11-Level", "Frame9=Port8 Fun Select",
                           "Option20=CALL  Fun: Call Out 4 TEL NO.", "Option19=Input Fun: Hight Level",
                           "Option18=Input Fun: Low Level", "Option14 [x]", "Option20 [x]"};
        QTest::newRow("Falcon captions") << QStringList{"Option7", "Option8"}
            << QStringList{"Frame8=ARMIN Input Level Select", "Label24=ARMIN-Level", "Frame9=IN-OUT Fun Select",
                           "Option20=Input  Fun: Hight Level", "Option19=Input  Fun: Low Level",
                           "Option18=Output Fun: OC", "Option14 [x]", "Option19 [x]"};
        QTest::newRow("Falcon pulse arm") << QStringList{"Option8", "Option15"}
            << QStringList{"Frame8=Pulse Polarity Select", "Frame9 hidden", "Option16=POS",
                           "Label25=ARMIN Is Negative Pulse Arm Fun,\r\nIN-OUT Is Positive Pulse Disarm Fun"};
        QTest::newRow("then Condor keeps the polarity captions") << QStringList{"Option8", "Option15", "Option7"}
            << QStringList{"Option14 [x]", "Label25=", "Frame8=Port11 Input Level Select", "Label24=Port11-Level",
                           "Option16=POS", "Option17=NEG"};
        QTest::newRow("Condor pulse arm") << QStringList{"Option7", "Option15"}
            << QStringList{"Label24=Port11 Pulse", condorPulse};
        QTest::newRow("positive pulse") << QStringList{"Option7", "Option15", "Option16"}
            << QStringList{"Label25=Port11 Is Positive Pulse Arm Fun,\r\nPort8 Is Negative Pulse Disarm Fun"};
        QTest::newRow("then level arm") << QStringList{"Option7", "Option15", "Option16", "Option13", "Option17"}
            << QStringList{"Frame8=Port11 Arm Input Level Select", "Label25="};
    }
    void whatTheClicksShow()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, expected);
        ShownRig r;
        Hands& h = r.hands;
        for (const QString& c : clicks)
            h.click(c);
        expect(r, expected);
    }

    void checkBoxesGateTheirButtonsAndFenceMarksRecaption()
    {
        ShownRig r;
        Hands& h = r.hands;
        h.click("Option9");
        h.click("Check1");
        QVERIFY(r.w("Command38")->isEnabled());
        h.click("Check2");
        QVERIFY(r.w("Command11")->isEnabled());
        h.click("Check2");
        QVERIFY(!r.w("Command11")->isEnabled());
        h.click("Option8");                          // "Fuel" ticked, then Falcon: unticked and greyed
        QVERIFY(!r.on("Check1") && !r.w("Command38")->isEnabled());
        h.click("Check_d2_on");
        expect(r, {"Check_d2_on=ON", "Check_d2_on [x]"});
        h.click("Check_d2_on");
        expect(r, {"Check_d2_on=OFF", "Check_d2_on [ ]"});
        h.click("Check_d4_in");
        expect(r, {"Check_d4_in=IN"});
        r.w<QAbstractButton>("Check_d4_in")->setText("XX");   // neither caption: left alone
        h.click("Check_d4_in");
        expect(r, {"Check_d4_in=XX"});
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
        QVERIFY(!r.port.isOpen() && !r.form.engine().timer().isActive());
        QVERIFY(r.prompt.shown.isEmpty());
    }

    void tabOrderFollowsRowsFrameByFrame()
    {
        ShownRig r;
        Hands& h = r.hands;
        h.click("Option7");                          // every frame of PORT-SET usable
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

    void everyBoxHasAnAccessibleNameOfItsOwn()
    {
        Rig r;   // a sample by name: tst_hands
        QCOMPARE(r.w("Text29")->accessibleName(), QString("Eight TEL"));
        QSet<QString> names;
        for (QWidget* w : r.form.findChildren<QWidget*>()) {
            if (w->objectName().isEmpty()         // a combo box's own inner line edit
                || (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QPlainTextEdit*>(w) && !qobject_cast<QComboBox*>(w)))
                continue;
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
            QVERIFY2(!names.contains(w->accessibleName()), qPrintable(w->accessibleName()));
            names << w->accessibleName();
        }
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
