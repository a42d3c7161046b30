// The window as built and laid out: controls, captions, start state, model layouts.
#include "pages/layout.h"
#include "support/rig.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class WindowTest : public QObject {
    Q_OBJECT

    static QString captionOf(QWidget* w)
    {
        if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
        if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
        return {};
    }

private slots:
    void everyDesignControlExistsWithItsCaptionAndPlace()
    {
        Rig r;
        QCOMPARE(r.form.windowTitle(), QString("Korvane V2.1"));
        QCOMPARE(r.form.size(), QSize(753, 585));
        const struct { const char* name; const char* caption; } sample[] = {
            {"Frame10", "Test && Especia Set"}, {"Command7", "Write All Parameter"}, {"Label37", "FIV TEL"},
            {"Option20", "Input  Fun: Hight Level"}, {"Check_d3_in", "OUT"}, {"Label10", "Over Speed(Km/h)"}};
        for (const auto& s : sample)
            QCOMPARE(captionOf(r.w(s.name)), QString(s.caption));
        // Every control of the design table, with its caption, container and place.
        for (int i = 0; i < layout::kControlCount; ++i) {
            const auto& c = layout::kControls[i];
            QWidget* w = r.w(c.name);
            QVERIFY2(w, c.name);
            if (!QByteArray(c.caption).isEmpty())
                QCOMPARE(captionOf(w), QString(c.caption));
            QCOMPARE(w->parentWidget()->objectName(), QString(c.parent ? c.parent : "Form2"));
            if (QByteArray(c.name) != "Frame8")
                QCOMPARE(w->geometry(), QRect(layout::px(c.left), layout::px(c.top), layout::px(c.width),
                                              layout::px(c.height)));
        }
        // Frame5 and Frame10 share one rectangle.
        QCOMPARE(r.w("Frame5")->geometry(), r.w("Frame10")->geometry());
        QCOMPARE(r.w("Frame8")->geometry(), QRect(0, 40, 217, 137));
    }

    void listsHintsAndTextsAfterLoad()
    {
        Rig r;
        auto* combo2 = r.w<QComboBox>("Combo2");
        QStringList ports;
        for (int i = 0; i < combo2->count(); ++i) ports << combo2->itemText(i);
        QCOMPARE(ports, (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"}));
        QCOMPARE(r.text("Combo2"), QString("COM4"));
        QCOMPARE(r.text("Combo3"), QString("45%"));
        QCOMPARE(r.w<QComboBox>("Combo3")->count(), 9);
        QCOMPARE(r.text("Combo4"), QString("00"));
        QCOMPARE(r.text("Combo1"), QString("TCP"));
        QCOMPARE(r.text("Text15"), QString("+00"));
        QCOMPARE(r.text("Text9"), QString("000"));
        QCOMPARE(r.w("Text4")->toolTip(), QString("Must be \"http://......\""));
        QCOMPARE(r.w("Text16")->toolTip(), QString("y1,v1,y2,v2:y1.y2 is Fuel %;v1.v2 is sensor vot(mV)"));
        QCOMPARE(r.w("Command2")->toolTip(), QString("Save GPRS Parameter"));
        QCOMPARE(r.w("Text33")->toolTip(), QString("000---250"));
        QVERIFY(r.text("Text24").isEmpty());
        QCOMPARE(r.form.engine().timer().interval(), 100);
        QCOMPARE(r.form.findChild<QTimer*>("Timer1"), &r.form.engine().timer());
        QVERIFY(!r.form.engine().timer().isActive());
        QCOMPARE(r.form.engine().code(), Code::Idle);
    }

    void startStateIsThePetrelLayout()
    {
        Rig r;
        QVERIFY(r.on("Option6"));
        for (const char* n : {"Command7", "Option10", "Option11", "Option12", "Command9", "Text22",
                              "Command24", "Text27", "Command18", "Command20", "Command11", "Check1",
                              "Text16", "Command38", "Text32", "Command39", "Text18", "Command28"})
            QVERIFY2(!r.w(n)->isEnabled(), n);
        QVERIFY(!r.w("Frame5")->isEnabled());
        QVERIFY(!r.w("Frame5")->isHidden());
        QVERIFY(r.w("Frame10")->isHidden());
        for (const char* n : {"Command37", "Label30", "Label31", "Text30", "Text23"})
            QVERIFY2(r.w(n)->isHidden(), n);
        for (const char* n : {"Option5", "Option14", "Option17", "Option19"})
            QVERIFY2(r.on(n), n);
        for (const char* n : {"Option1", "Option2", "Option3", "Option21", "Option24", "Option26", "Option28",
                              "Check2"})
            QVERIFY2(!r.on(n), n);
        QVERIFY(r.w("Check2")->isEnabled());
    }

    void deadControlsStayDeadWhateverIsClicked()
    {
        Rig r;
        for (const char* m : {"Option7", "Option8", "Option9", "Option6"}) {
            r.w<QRadioButton>(m)->click();
            QTest::mouseClick(r.w("Option11"), Qt::LeftButton);
            QVERIFY(!r.w("Command7")->isEnabled());
            QVERIFY(!r.on("Option10") && !r.on("Option11") && !r.on("Option12"));
            QVERIFY(r.w("Label30")->isHidden());
        }
    }

    // Each model's layout, control by control; "-" rows keep what the previous model left.
    void modelLayouts_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("frame5Shown");
        QTest::addColumn<bool>("frame10Shown");
        QTest::addColumn<bool>("odometer");
        QTest::addColumn<bool>("fuel");
        QTest::addColumn<bool>("shake");
        QTest::addColumn<bool>("check1");
        QTest::newRow("Petrel") << "Option6" << true << false << false << false << false << false;
        QTest::newRow("Condor") << "Option7" << true << false << false << false << false << false;
        QTest::newRow("Falcon") << "Option8" << true << false << false << true << false << true;
        QTest::newRow("Harrier") << "Option9" << false << true << true << true << true << true;
    }
    void modelLayouts()
    {
        QFETCH(QString, model);
        for (const char* before : {"Option9", "Option7", "Option8"}) {
            if (model == before)
                continue;
            Rig r;
            r.w<QRadioButton>(before)->click();
            r.w<QCheckBox>("Check2")->click();
            if (r.w("Check1")->isEnabled())
                r.w<QCheckBox>("Check1")->click();
            r.w<QRadioButton>(model)->click();
            QFETCH(bool, frame5Shown);
            QFETCH(bool, frame10Shown);
            QFETCH(bool, odometer);
            QFETCH(bool, fuel);
            QFETCH(bool, shake);
            QFETCH(bool, check1);
            QCOMPARE(!r.w("Frame5")->isHidden(), frame5Shown);
            QCOMPARE(!r.w("Frame10")->isHidden(), frame10Shown);
            QCOMPARE(r.w("Frame10")->isEnabled(), frame10Shown);
            for (const char* n : {"Label22", "Text18", "Command28"}) QCOMPARE(r.w(n)->isEnabled(), odometer);
            for (const char* n : {"Label19", "Text16"}) QCOMPARE(r.w(n)->isEnabled(), fuel);
            for (const char* n : {"Label33", "Text32", "Command39"}) QCOMPARE(r.w(n)->isEnabled(), shake);
            QCOMPARE(r.w("Check1")->isEnabled(), check1);
            QVERIFY(!r.w("Command38")->isEnabled());
            QVERIFY(!r.on("Check2"));
            if (check1)   // Petrel and Condor leave the box as it was, greyed out
                QVERIFY(!r.on("Check1"));
            QVERIFY(!r.w("Command11")->isEnabled());
            if (model == "Option6")
                QVERIFY(!r.w("Frame5")->isEnabled());
            if (model == "Option7" || model == "Option8") {
                const bool condor = model == "Option7";
                QVERIFY(r.w("Frame5")->isEnabled());
                QVERIFY(r.on("Option14"));
                QCOMPARE(r.w("Frame8")->geometry().top(), layout::px(600));
                QCOMPARE(r.w("Frame8")->height(), layout::px(2055));
                QCOMPARE(r.w<QGroupBox>("Frame8")->title(),
                         QString(condor ? "Port11 Input Level Select" : "ARMIN Input Level Select"));
                QCOMPARE(r.w<QLabel>("Label24")->text(), QString(condor ? "Port11-Level" : "ARMIN-Level"));
                QCOMPARE(r.w<QGroupBox>("Frame9")->title(), QString(condor ? "Port8 Fun Select" : "IN-OUT Fun Select"));
                QCOMPARE(r.text("Option20"), QString(condor ? "CALL  Fun: Call Out 4 TEL NO." : "Input  Fun: Hight Level"));
                QCOMPARE(r.text("Option19"), QString(condor ? "Input Fun: Hight Level" : "Input  Fun: Low Level"));
                QCOMPARE(r.text("Option18"), QString(condor ? "Input Fun: Low Level" : "Output Fun: OC"));
                QVERIFY(r.on(condor ? "Option20" : "Option19"));
            }
        }
    }

    void condorAfterPulseArmKeepsPolarityCaptions()
    {
        Rig r;
        r.w<QRadioButton>("Option8")->click();
        r.w<QRadioButton>("Option15")->click();
        QCOMPARE(r.w<QGroupBox>("Frame8")->title(), QString("Pulse Polarity Select"));
        QVERIFY(r.w("Frame9")->isHidden());
        QCOMPARE(r.text("Option16"), QString("POS"));
        QCOMPARE(r.w<QLabel>("Label25")->text(),
                 QString("ARMIN Is Negative Pulse Arm Fun,\r\nIN-OUT Is Positive Pulse Disarm Fun"));
        r.w<QRadioButton>("Option7")->click();
        QVERIFY(r.on("Option14"));
        QVERIFY(!r.w("Frame9")->isHidden());
        QVERIFY(r.w<QLabel>("Label25")->text().isEmpty());
        QCOMPARE(r.w<QGroupBox>("Frame8")->title(), QString("Port11 Input Level Select"));
        QCOMPARE(r.w<QLabel>("Label24")->text(), QString("Port11-Level"));
        QCOMPARE(r.text("Option16"), QString("POS"));
        QCOMPARE(r.text("Option17"), QString("NEG"));
    }

    void pulseArmDescriptionFollowsPolarity()
    {
        Rig r;
        r.w<QRadioButton>("Option7")->click();
        r.w<QRadioButton>("Option15")->click();
        QCOMPARE(r.w<QLabel>("Label24")->text(), QString("Port11 Pulse"));
        QCOMPARE(r.w<QLabel>("Label25")->text(),
                 QString("Port11 Is Negative Pulse Arm Fun,\r\nPort8 Is Positive Pulse Disarm Fun"));
        r.w<QRadioButton>("Option16")->click();
        QCOMPARE(r.w<QLabel>("Label25")->text(),
                 QString("Port11 Is Positive Pulse Arm Fun,\r\nPort8 Is Negative Pulse Disarm Fun"));
        r.w<QRadioButton>("Option13")->click();
        QCOMPARE(r.w<QGroupBox>("Frame8")->title(), QString("Port11 Arm Input Level Select"));
        QVERIFY(r.w<QLabel>("Label25")->text().isEmpty());
        r.w<QRadioButton>("Option17")->click();   // no description outside pulse arm
        QVERIFY(r.w<QLabel>("Label25")->text().isEmpty());
    }

    void fuelAndPasswordChecksGateTheirButtons()
    {
        Rig r;
        r.w<QRadioButton>("Option9")->click();
        r.w<QCheckBox>("Check1")->click();
        QVERIFY(r.w("Command38")->isEnabled());
        r.w<QCheckBox>("Check2")->click();
        QVERIFY(r.w("Command11")->isEnabled());
        r.w<QCheckBox>("Check2")->click();
        QVERIFY(!r.w("Command11")->isEnabled());
        r.w<QRadioButton>("Option8")->click();   // "Fuel" checked, then Falcon: unchecked and greyed
        QVERIFY(!r.on("Check1"));
        QVERIFY(!r.w("Command38")->isEnabled());
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
        QVERIFY(!r.port.isOpen());
        QVERIFY(!r.form.engine().timer().isActive());
        QVERIFY(r.prompt.shown.isEmpty());
    }

    void fenceCaptionsToggleWithTheirMarks()
    {
        Rig r;
        auto* on = r.w<QCheckBox>("Check_d2_on");
        on->click();
        QCOMPARE(on->text(), QString("ON"));
        QVERIFY(on->isChecked());
        on->click();
        QCOMPARE(on->text(), QString("OFF"));
        QVERIFY(!on->isChecked());
        auto* side = r.w<QCheckBox>("Check_d4_in");
        side->click();
        QCOMPARE(side->text(), QString("IN"));
        side->setText("XX");   // a caption that is neither is left alone
        side->click();
        QCOMPARE(side->text(), QString("XX"));
    }

    void tabOrderFollowsRowsFrameByFrame()
    {
        Rig r;
        r.w<QRadioButton>("Option7")->click();     // every frame of PORT-SET usable
        r.form.show();
        QStringList order;
        QWidget* w = r.w("Option6");
        for (int guard = 0; guard < 400 && w; ++guard) {
            if (r.form.isAncestorOf(w) && w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
                order << w->objectName();
            w = w->nextInFocusChain();
            if (w == r.w("Option6"))
                break;
        }
        auto before = [&](const char* a, const char* b) {
            const auto ia = order.indexOf(a), ib = order.indexOf(b);
            return ia >= 0 && ib >= 0 && ia < ib;
        };
        // Inside GPRS-SET: rows top to bottom, each left to right.
        const char* gprs[] = {"Text2", "Text1", "Command10", "Text19", "Text20", "Command12", "Text3", "Text5",
                              "Command21", "Text4", "Text31", "Command22", "Text21", "Command23", "Combo1",
                              "Command2"};
        for (size_t i = 1; i < std::size(gprs); ++i)
            QVERIFY2(before(gprs[i - 1], gprs[i]), gprs[i]);
        const char* tel[] = {"Text6", "Command13", "Text7", "Command14", "Text26", "Command17", "Command4"};
        for (size_t i = 1; i < std::size(tel); ++i)
            QVERIFY2(before(tel[i - 1], tel[i]), tel[i]);
        QVERIFY(before("Text15", "Combo4") && before("Combo4", "Command25") && before("Command25", "Text33"));
        QVERIFY(before("Command34", "Command35") && before("Command35", "Command36"));
        QVERIFY(before("Text10", "Check_d1_on") && before("Check_d1_in", "Command29") && before("Command29", "Text11"));
        QVERIFY(before("Command2", "Text6"));      // frame by frame
        QVERIFY(before("Command33", "Command6") && before("Combo2", "Command5") && before("Command8", "Text24"));
    }

    void inputBoxesCarryTheirRowLabelAsAccessibleName()
    {
        Rig r;
        const struct { const char* box; const char* label; } rows[] = {
            {"Text1", "Label1"}, {"Text19", "Label27"}, {"Text20", "Label28"}, {"Text3", "Label3"},
            {"Text4", "Label4"}, {"Text21", "Label29"}, {"Text6", "Label6"}, {"Text29", "Label40"},
            {"Combo3", "Label9"}, {"Text9", "Label10"}, {"Text32", "Label33"}, {"Text33", "Label34"},
            {"Text17", "Label20"}, {"Text10", "Label14"}, {"Text14", "Label18"}, {"Text2", "Label2"},
        };
        for (const auto& row : rows)
            QCOMPARE(r.w(row.box)->accessibleName(), r.w<QLabel>(row.label)->text());
        QSet<QString> names;
        for (QWidget* w : r.form.findChildren<QWidget*>()) {
            if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QPlainTextEdit*>(w) && !qobject_cast<QComboBox*>(w))
                continue;
            if (w->objectName().isEmpty())
                continue;                           // a combo box's own inner line edit
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
            QVERIFY2(!names.contains(w->accessibleName()), qPrintable(w->accessibleName()));
            names << w->accessibleName();
        }
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
