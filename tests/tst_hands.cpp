// The window on a fake port, operated only as a technician operates it (mouse clicks where a control
// is drawn, keys into the focused widget, Tab): each row is the steps, the lines on the wire and the
// messages in their order.
#include "support/hands.h"
#include "support/rig.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

namespace {

// Each option, where it is usable ('a' every model, 'p' the port page of Condor and Falcon, 't' the
// test frame of Harrier), the row that sends it, and what that row sends once it is selected; in the
// order a technician goes through them, the arm function last since "Pulse Arm" hides the
// line-function frame.
const char* const kOptions[] = {
    "Option1 a Command23 SETM1,030S", "Option2 a Command23 SETM1,030M", "Option3 a Command23 SETM1,030H",
    "Option4 p Command34 SETXD1B2F2", "Option5 p Command34 SETXD0B2F2", "Option16 p Command35 SETS0,2,1",
    "Option17 p Command35 SETS0,2,0", "Option20 p Command36 SETS0,2,0|SETXD2B0F1",
    "Option19 p Command36 SETS0,2,0|SETXD2B1F0", "Option18 p Command36 SETS0,2,0|SETXD2B0F0",
    "Option14 p Command35 SETS0,2,0", "Option13 p Command35 SETS1,0,0", "Option15 p Command35 SETS1,1,0",
    "Option21 t Command47 SETU2,1", "Option22 t Command47 SETU2,0", "Option23 t Command51 SETXD1",
    "Option24 t Command51 SETXD0", "Option25 t Command48 SETU1", "Option26 t Command48 SETU0",
    "Option27 t Command49 SETU3", "Option28 t Command49 SETU4"};

void columns()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("messages");
}
void row(const QString& name, const QStringList& steps, const QStringList& lines = {}, const QStringList& messages = {})
{
    QTest::newRow(qPrintable(name)) << steps << lines << messages;
}

// Selected options per direct container. Qt's own grouping once let a click in a nested frame take
// the selection of the frame around it, and "Apply" sent a line nobody chose.
QMap<QString, QStringList> selections(const Form2& form)
{
    QMap<QString, QStringList> out;
    for (QRadioButton* option : form.findChildren<QRadioButton*>())
        if (option->isChecked())
            out[option->parentWidget()->objectName()] << option->objectName();
    return out;
}

}  // namespace

class HandsTest : public QObject {
    Q_OBJECT

    // Steps, in order: "Name" clicks it, "Name=text" types into it, "Name:=text" puts the text there
    // as a program would (a read, or a box that takes no typing), "Name==text" checks what it shows,
    // "Name [x]"/"Name [ ]" selected or not, "Name hidden"/"shown", "Name live"/"dead" (enabled),
    // "usable: ..." which of the model-dependent controls are shown and enabled, "key K" and "tab"
    // into the focus, "held Return" pressed with auto-repeat, "pick COMn" from the port box's list,
    // "fail n" makes COMn absent, "opened==4 7" the ports opened so far, "focus==Name". The tracker:
    // "<text" replies (judged on the next tick), "<<" acknowledges until the transaction ends,
    // "tick" lets 100 ms pass, "cancel" answers the next question with Cancel.
    void play()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, messages);
        ShownRig r;
        Hands& h = r.hands;
        QStringList framesWithOne;
        for (const QString& step : steps) {
            const QString name = step.section(' ', 0, 0), state = step.section(' ', 1);
            bool byHand = false;
            if (step == "<<") {
                for (int guard = 0; guard < 20 && r.form.engine().code() != Code::Idle; ++guard)
                    r.reply(" OK!");
            } else if (step.startsWith('<')) {
                r.reply(step.mid(1));
            } else if (step == "tick") {
                r.tick();
            } else if (step == "cancel") {
                r.prompt.answers << false;
            } else if (step == "tab" || name == "key") {
                const QKeyCombination k = step == "tab" ? QKeyCombination(Qt::Key_Tab) : QKeySequence(state)[0];
                h.key(k.key(), k.keyboardModifiers());
                if (k.key() == Qt::Key_F4)
                    QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000));
                byHand = true;
            } else if (step == "held Return") {                 // pressed, five repeats, released
                for (int i = 0; i < 7; ++i) {
                    QKeyEvent e(i < 6 ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Return, {}, "\r", i % 6 != 0);
                    QApplication::sendEvent(h.focus(), &e);
                }
            } else if (name == "pick") {
                h.pick("Combo2", state);
            } else if (name == "fail") {
                r.port.openFailures[state.toInt()] = Port::NoSuchPort;
            } else if (step.startsWith("opened==")) {
                QStringList opened;
                for (int n : r.port.opened)
                    opened << QString::number(n);
                QCOMPARE("opened==" + opened.join(' '), step);
            } else if (step.startsWith("focus==")) {
                QCOMPARE("focus==" + h.focus()->objectName(), step);
            } else if (name == "usable:") {
                QString seen = "usable:";
                for (const char* n : {"Frame5", "Frame10", "Label22", "Text18", "Command28", "Label19", "Text16",
                                      "Label33", "Text32", "Command39", "Check1", "Command38", "Command11"})
                    if (r.w(n)->isVisible() && r.w(n)->isEnabled())
                        seen += QString(" ") + n;
                QCOMPARE(seen, step);
            } else if (step.contains("==")) {
                QCOMPARE(step.section("==", 0, 0) + "==" + r.text(step.section("==", 0, 0)), step);
            } else if (state == "[x]" || state == "[ ]") {
                QVERIFY2(r.on(name) == (state == "[x]"), qPrintable(step));
            } else if (state == "hidden" || state == "shown") {
                QVERIFY2(r.w(name)->isVisible() == (state == "shown"), qPrintable(step));
            } else if (state == "live" || state == "dead") {
                QVERIFY2(r.w(name)->isEnabled() == (state == "live"), qPrintable(step));
            } else if (step.contains(":=")) {
                r.type(step.section(":=", 0, 0), step.section(":=", 1));
            } else if (step.contains('=')) {
                h.type(step.section('=', 0, 0), step.section('=', 1));
            } else {
                h.click(step);
                byHand = qobject_cast<QRadioButton*>(r.w(step)) != nullptr;
            }
            // One selection at most in every frame, and no option click or key takes one away.
            const auto selected = selections(r.form);
            for (auto it = selected.cbegin(); it != selected.cend(); ++it)
                QVERIFY2(it.value().size() == 1, qPrintable(step + ": " + it.key() + " " + it.value().join(',')));
            for (const QString& frame : framesWithOne)
                QVERIFY2(!byHand || selected.contains(frame), qPrintable(frame + " lost its selection: " + step));
            framesWithOne = selected.keys();
        }
        for (QString& line : lines)
            line += "\r\n";
        QCOMPARE(r.wire(), lines);
        QCOMPARE(r.prompt.shown.join(" | "), messages.join(" | "));
    }

private slots:
    // Every frame's rows and chains, refusals and replies, and the reads.
    void frames_data()
    {
        columns();
        row("every send needs an open port", {"Command10", "Command2", "Command13", "Command4", "Command29",
            "Command27", "Command1", "Command8", "Command6"}, {}, QStringList(9, "PLS Open COMM Port"));
        row("empty APN: Cancel, then OK", {"Command5", "cancel", "Command10", "Command10", "< OK!"}, {"SETC"},
            {"? APN is NULL", "? APN is NULL", "Setting OK!"});
        row("each row's send replaces the last", {"Command5", "Text1=my apn", "Text3=10.0.0.7", "Text5=5001",
            "Command21", "Text4=report.example.org/gps", "Text31=8080", "Command22", "Text21=045", "Option3",
            "Command23", "Command12", "< OK!"},
            {"SETCmy apn,10.0.0.7:5001", "SETRreport.example.org/gps;8080", "SETM1,045H", "SETO,"},
            {"APN Name And APN Password is NULL", "Setting OK!"});
        row("GPRS WRITE stops at a bad interval", {"Command5", "Text21=30", "Command2", "< OK!", "< OK!", "< OK!",
            "tick"}, {"SETC", "SETO,", "SETR;"}, {"PLS Input 3 Digits", "Out-Time !"});
        row("a refused WRITE leaves nothing pending", {"Command5", "Text3=1.2.3.4", "Command2", "< OK!"}, {},
            {"PLS Input Port"});
        row("the slot digit must match", {"Command5", "Command15", "<3TEL OK!", "Text7=13800000000", "Command14",
            "<1TEL OK!"}, {"SETA3,D", "SETA2,13800000000"},
            {"Delete The Telephone Number", "Setting OK!", "Setting Error!"});
        row("telephone WRITE: five slots, not the ones a read fills", {"Command5", "Text7=13800000000",
            "Text27:=666", "Command4", "<1TEL OK!", "<2TEL OK!", "<3TEL OK!", "<4TEL OK!", "<5TEL OK!"},
            {"SETA1,D", "SETA2,13800000000", "SETA3,D", "SETA4,D", "SETA5,D"}, {"Setting OK!"});
        row("a line end after the token breaks the chain", {"Command5", "Command4", "<1TEL OK!", "<2TEL OK!",
            "<3TEL OK!\r\n"}, {"SETA1,D", "SETA2,D", "SETA3,D"}, {"Setting Error!"});
        row("geo-fences", {"Command5", "Text12=ignored", "Command31", "Check_d1_on", "Check_d1_in", "Command29",
            "Text10=22.54,114.05,500", "Command29", "< OK!"}, {"SETI3,0,1#", "SETI1,1,0,22.54,114.05,500"},
            {"PLS Input The Coordinate for GEO-FENCE", "Setting OK!"});
        row("OTHER-SET rows on Harrier", {"Command5", "Option9", "Command27", "Command26", "Command25", "Command40",
            "Command28", "Text18==000000"}, {"SETN1,45", "SETJ0,000", "SETL+00:00", "SETP0,010", "SETQ000000"},
            {"Close Shift Detection"});
        row("OTHER-SET refusals", {"Command5", "Text9=", "Command26", "Text9=251", "Command26", "Combo3=300%",
            "Command27"}, {"SETJ0,000"}, {"Close Speeding Alarm", "The Input Value Can't Be Greater Than 250",
            "PLS Input A Level From 0 To 255"});
        // The chain's fuel and shake steps go by model and check box.
        row("OTHER WRITE on Petrel", {"Command5", "Text9=120", "Text33=015", "Command1", "<<"},
            {"SETN1,45", "SETJ1,120", "SETL+00:00", "SETP1,015", "SETQ000000"}, {"Setting OK!"});
        row("OTHER WRITE on Falcon, fuel", {"Command5", "Option8", "Check1", "Text16=0,100,100,4000", "Command1", "<<"},
            {"SETN1,45", "SETJ0,000", "SETL+00:00", "SETSO0,100,100,4000", "SETS0", "SETP0,010", "SETQ000000"},
            {"Setting OK!"});
        row("OTHER WRITE on Harrier, fuel and password", {"Command5", "Option9", "Check1", "Check2",
            "Text16=0,100,100,4000", "Text32=2", "Text17=654321", "Text18=000123", "Combo3=12.5%", "Command1", "<<"},
            {"SETN1,12.5", "SETJ0,000", "SETL+00:00", "SETSO0,100,100,4000", "SETS2", "SETP0,010", "SETH654321",
             "SETQ000123"}, {"Setting OK!"});
        row("OTHER WRITE on Harrier", {"Command5", "Option9", "Command1", "<<"},
            {"SETN1,45", "SETJ0,000", "SETL+00:00", "SETS0", "SETP0,010", "SETQ000000"}, {"Setting OK!"});
        row("OTHER WRITE stopped by the speed", {"Command5", "Text9=12", "Command1", "< OK!", "tick"}, {"SETN1,45"},
            {"PLS Reinput,It shouold be 3 digits", "Out-Time !"});
        row("model changed before the line-function reply", {"Command5", "Option7", "Command36", "Option8", "< OK!",
            "Text24==", "Command36", "Command53"}, {"SETS0,2,0"}, {"This Model Has No Line Function Command"});
        row("special functions on Harrier", {"Command5", "Option9", "Command41", "Command42", "Command43",
            "Command44", "Command50", "Command45", "Command46", "Command52", "Command47", "Command48", "Command49",
            "Command51", "<ERR"}, {"SETT1", "SETT0", "SETT3", "SETT2", "SETT4", "SETU2,", "SETU", "SETU", "SETXD"},
            {"Setting Error!"});
        const QString sure = "? Are you sure you want to revert all the data?";
        row("initialize asks first; RESET! after three characters is not reported", {"Command5", "Text1=apn",
            "Text27:=keep", "<old", "cancel", "Command6", "Text1==apn", "Text24==old", "Command6", "Text1==",
            "Text27==keep", "Combo3==45%", "<abcRESET!", "Command6", "<RESET!", "Command6", "<no"},
            {"SET10", "SET10", "SET10"}, {sure, sure, sure, "Revert All The Data!", sure, "Revert All The Data!"});
        // A read: the button empties the boxes it fills; the dump may come in pieces.
        row("read all", {"Command5", "Text16:=fuel", "Text32:=4", "Command8", "Text16==", "Text9==", "Text15==",
            "<A1001;B1002;C;D;E;F;G;H1008;apn;;;10.0.0.1;9000;\r\n000150;ord:,1E000000050000004D000300", "tick",
            "<10100010\r\nHP:abc,80\r\nIMEI:350000000000001,Ver:1.0,2.3,\r\n1:P1\r\n2:P2\r\n3:P3\r\n4:\r\n5:\r\n"
            "E5\r\nE1\r\nE7\r\ned:8;1x1xxx1xxx1,20%\r\nword:\r\nA8\r\n", "tick", "tick", "Text6==1001",
            "Check_d2_in==IN", "Combo4==15", "Text16==", "Option2 [x]", "Option24 [x]", "Option21 [x]",
            "Check_d1_on [x]", "Check_d2_on [ ]"},
            {"SETG"});
        row("read all on Condor: the arm options with their effects", {"Command5", "Option7", "Option16", "Command8",
            "<A;B;C;D;E;F;G;H;;;;;;\r\n;ord:,00000000000000005300000000000000\r\nHP:,\r\nIMEI:,Ver:,,\r\n1:\r\n2:\r\n"
            "3:\r\n4:\r\n5:\r\nE0\r\nE0\r\nE0\r\n01\r\n60\r\ned:0;0x0xxx0xxx0,00%\r\nword:\r\nA8\r\n", "tick", "tick",
            "Option18 [x]", "Option15 [x]", "Frame9 hidden", "Frame8==Pulse Polarity Select", "Option17==NEG",
            "Option16 [x]",   // a pulse arm leaves the level options as they were (the pair says negative)
            "Text21==000", "Option1 [ ]", "Option2 [ ]", "Option3 [ ]"}, {"SETG"});
    }
    void frames() { play(); }

    // The port box: typing is not a pick, a pick is one Combo2_Click (also of the entry shown), and
    // only the nine names open a port: any other text once opened the port chosen before.
    void portBox_data()
    {
        columns();
        row("typed, then OPEN", {"Combo2=COM6", "Command5", "Command5==CLOSE", "opened==6"});
        row("typed, Tab, then OPEN",
            {"Combo2=COM6", "tab", "opened==", "Command5==OPEN", "Command5", "Command5==CLOSE", "opened==6"});
        row("typed, Enter, then OPEN", {"Combo2=COM3", "key Return", "opened==", "Command5", "opened==3"});
        row("picked by mouse and keys", {"Command5", "pick COM7", "Command5==CLOSE", "pick COM7", "key Down",
            "Combo2==COM8", "key F4", "key Up", "key Return", "opened==4 7 7 8 7", "fail 3", "pick COM3",
            "Text24==8002", "Command5==OPEN", "opened==4 7 7 8 7"}, {}, {"Invalid Port"});
        for (const QString& n : QStringList{"COM10", "com6", "COM6 ", "COM06", "COM0", "/dev/ttyS3"})
            row("typed " + n, {"Command5", "Command5", "Combo2=" + n, "Command5", "Combo2==" + n, "Text24==8002",
                "Command5==OPEN", "Combo2=", "Command5", "opened==4"}, {}, {"Invalid PORT", "请选择CommPort"});
    }
    void portBox() { play(); }

    // Keys and boxes as typed: Qt's completer once made a battery level of 1 into 10%; Enter and
    // keypad Enter press a focused button, once when held; every send empties the monitor view.
    void keysAndBoxes_data()
    {
        columns();
        row("combo boxes keep what is typed", {"Command5", "Combo3=1", "Command27", "Combo3==1", "Combo4=4",
            "Command25", "Combo4==4", "Combo3=4", "Text9", "Combo3==4", "Combo4=3", "Text9", "Combo4==3",
            "Combo2=COM", "Text9", "Combo2==COM", "opened==4"}, {"SETN1,1", "SETL+00:4"});
        row("Enter presses the focused button", {"Command5", "Text1=apn.one", "tab", "focus==Command10",
            "key Return", "< OK!", "key Num+Enter", "< OK!", "held Return", "< OK!", "key Space"},
            QStringList(4, "SETCapn.one"), QStringList(3, "Setting OK!"));
        row("a send empties the monitor, whatever it shows", {"Command5", "Text24:=old text", "Command27", "Text24==",
            "< OK!", "Text24== OK!"}, {"SETN1,45"}, {"Setting OK!"});
        // Arrows move within a frame's own group, never into a nested one, and pass over the models
        // that can never be chosen.
        row("arrow keys", {"Option7", "Option14", "key Right", "focus==Option13", "Option13 [x]", "Option14 [ ]",
            "key Right", "Option15 [x]", "Frame9 hidden", "Option17 [x]", "Option5 [x]", "key Left", "key Left",
            "Option14 [x]", "Frame9 shown", "Option6", "key Right", "Option7 [x]", "key Right", "key Right",
            "key Right", "Option9 [x]", "Frame10 shown", "Option10 [ ]", "Option11 [ ]", "Option12 [ ]"});
    }
    void keysAndBoxes() { play(); }

    // Every usable option of a model, clicked when not selected and again when selected, then its
    // frame's "Apply".
    void optionGroups_data()
    {
        columns();
        const struct { const char* model; const char* name; const char* frames; } models[] = {
            {"Option6", "Petrel", "a"}, {"Option7", "Condor", "ap"}, {"Option8", "Falcon", "ap"},
            {"Option9", "Harrier", "at"}};
        for (const auto& m : models) {
            QStringList steps{"Command5", m.model, m.model, QString(m.model) + " [x]", "Text21=030"}, lines, messages;
            for (const char* entry : kOptions) {
                const QStringList o = QString(entry).split(' ');   // option, where, row, lines
                if (!QString(m.frames).contains(o[1]))
                    continue;
                const bool refused = o[2] == "Command36" && QByteArray(m.model) != "Option7";
                for (int pass = 0; pass < 2; ++pass) {
                    steps << o[0] << o[0] + " [x]" << o[2] << "<<";
                    lines << (refused ? QStringList() : o[3].split('|'));
                    messages << (refused ? "This Model Has No Line Function Command" : "Setting OK!");
                }
            }
            row(m.name, steps, lines, messages);
        }
    }
    void optionGroups() { play(); }

    // What the clicks show: the controls each model offers, the port page's captions by model and
    // arm function, the check boxes' rows and marks. Nothing is sent.
    void whatTheClicksShow_data()
    {
        columns();
        QStringList start = {"Option6 [x]", "Option5 [x]", "Option14 [x]", "Option17 [x]", "Option19 [x]",
                             "Frame10 hidden", "Frame5 dead", "usable:"};
        for (const char* model : {"Option7", "Option8", "Option9", "Option6"})
            start << model << "Option11" << "Option11 [ ]" << "Command7 dead" << "Label30 hidden";
        row("start: Petrel; dead controls stay dead", start);
        row("each model from Harrier (or Falcon), both boxes ticked", {"Option9", "Check1", "Check2", "Option6",
            "usable:", "Check2 [ ]", "Option9", "Check1", "Check2", "Option7", "usable: Frame5", "Check2 [ ]",
            "Option9", "Check1", "Check2", "Option8", "usable: Frame5 Label19 Text16 Check1", "Check2 [ ]",
            "Check1 [ ]", "Check1", "Check2", "Option9",
            "usable: Frame10 Label22 Text18 Command28 Label19 Text16 Label33 Text32 Command39 Check1", "Check2 [ ]",
            "Check1 [ ]"});
        // Condor and Falcon name the port page's lines each their own way, and select their own line
        // function.
        row("Condor captions", {"Option9", "Option7", "Frame8==Port11 Input Level Select", "Frame9==Port8 Fun Select",
            "Option20==CALL  Fun: Call Out 4 TEL NO.", "Option14 [x]", "Option20 [x]"});
        row("Falcon captions", {"Option7", "Option8", "Label24==ARMIN-Level", "Option18==Output Fun: OC",
            "Option14 [x]", "Option19 [x]"});
        row("Falcon pulse arm, then Condor", {"Option8", "Option15", "Frame8==Pulse Polarity Select", "Frame9 hidden",
            "Option16==POS", "Label25==ARMIN Is Negative Pulse Arm Fun,\r\nIN-OUT Is Positive Pulse Disarm Fun",
            "Option7", "Option14 [x]", "Label25==", "Frame8==Port11 Input Level Select", "Label24==Port11-Level",
            "Option16==POS", "Option17==NEG"});
        row("Condor pulse arm, positive, then level arm", {"Option7", "Option15", "Label24==Port11 Pulse",
            "Label25==Port11 Is Negative Pulse Arm Fun,\r\nPort8 Is Positive Pulse Disarm Fun", "Option16",
            "Label25==Port11 Is Positive Pulse Arm Fun,\r\nPort8 Is Negative Pulse Disarm Fun", "Option13",
            "Option17", "Frame8==Port11 Arm Input Level Select", "Label25=="});
        row("check boxes gate their rows; fence marks recaption", {"Option9", "Check1", "Command38 live", "Check2",
            "Command11 live", "Check2", "Command11 dead", "Option8", "Check1 [ ]", "Command38 dead", "Check_d2_on",
            "Check_d2_on==ON", "Check_d2_on [x]", "Check_d2_on", "Check_d2_on==OFF", "Check_d2_on [ ]",
            "Check_d4_in", "Check_d4_in==IN"});
    }
    void whatTheClicksShow() { play(); }

    // Assistive tools: every box named by its own row, each name its own; options by their own frame
    // (a nested frame was named by the frame around it); a caption that changes, as it is now.
    void assistiveNames()
    {
        ShownRig r;
        auto named = [&](const char* control) { return QAccessible::queryAccessibleInterface(r.w(control)); };
        auto labels = [](QAccessibleInterface* a) {
            QStringList out;
            for (const auto& rel : a->relations(QAccessible::Label))
                out << rel.first->text(QAccessible::Name);
            return out;
        };
        const struct { const char* control; const char* name; } boxes[] = {
            {"Combo2", "COM port"}, {"Combo3", "LOW BAT"}, {"Combo4", "Local T minutes"}, {"Combo1", "Connection type"},
            {"Text1", "APN"}, {"Text9", "Over Speed(Km/h)"}, {"Text29", "Eight TEL"}};
        for (const auto& b : boxes)
            QCOMPARE(named(b.control)->text(QAccessible::Name), QString(b.name));
        QCOMPARE(named("Combo3")->text(QAccessible::Value), QString("45%"));
        QCOMPARE(labels(named("Combo3")), (QStringList{"LOW BAT", "OTHER-SET"}));
        QSet<QString> names;
        for (QWidget* w : r.form.findChildren<QWidget*>(QRegularExpression("^(Text|Combo)\\d+$"))) {
            const QString name = w->accessibleName();
            QVERIFY2(!name.isEmpty() && !names.contains(name), qPrintable(w->objectName()));
            names << name;
        }
        // Options and buttons by their row, which follows the captions of the model.
        const struct { const char* option; const char* name; const char* frame; } options[] = {
            {"Option14", "No Arm", "Arm Fun Select"}, {"Option15", "Pulse Arm", "Arm Fun Select"},
            {"Option17", "ARMIN-Level Low", "ARMIN Input Level Select"},
            {"Option19", "Input  Fun: Low Level", "IN-OUT Fun Select"}, {"Option4", "Door-level Hight", "PORT-SET"},
            {"Option2", "Interval Min", "GPRS-SET"}, {"Option27", "SOS-Out-TEL Mute", "SOS-Out-TEL"}};
        for (const auto& o : options) {
            QCOMPARE(named(o.option)->text(QAccessible::Name), QString(o.name));
            QCOMPARE(labels(named(o.option)), QStringList{o.frame});
        }
        const struct { const char* control; const char* name; } rows[] = {
            {"Command10", "Apply APN"}, {"Command12", "Apply APN name and password"}, {"Command2", "WRITE GPRS-SET"},
            {"Command35", "Apply ARMIN-Level"}, {"Check_d3_on", "Cod 3 ON/OFF"}, {"Check_d3_in", "Cod 3 IN/OUT"},
            {"Command31", "Apply Cod 3"}, {"Command3", "WRITE Test & Especia Set"}, {"Check1", "Fuel in WRITE"}};
        for (const auto& c : rows)
            QCOMPARE(named(c.control)->text(QAccessible::Name), QString(c.name));
        r.hands.click("Check_d3_on");   // the caption turns to "ON"; the name stays
        QCOMPARE(named("Check_d3_on")->text(QAccessible::Name), QString("Cod 3 ON/OFF"));
        r.hands.click("Option8");
        r.hands.click("Option15");
        QCOMPARE(named("Option16")->text(QAccessible::Name), QString("ARMIN Pulse POS"));
        QCOMPARE(named("Command35")->text(QAccessible::Name), QString("Apply ARMIN Pulse"));
        QCOMPARE(named("Label25")->text(QAccessible::Name), QString("Pulse description"));
        r.hands.click("Option7");   // its doubled ampersand read as one
        QCOMPARE(named("Frame8")->text(QAccessible::Name), QString("Port11 Input Level Select"));
        QCOMPARE(named("Frame10")->text(QAccessible::Name), QString("Test & Especia Set"));
    }

    // OPEN and CLOSE are one button: its name says what a press does and whether the port is open,
    // after OPEN, CLOSE and a port that went away alike.
    void thePortButtonSaysWhetherThePortIsOpen()
    {
        ShownRig r;
        auto name = [&] { return QAccessible::queryAccessibleInterface(r.w("Command5"))->text(QAccessible::Name); };
        QCOMPARE(name(), QString("OPEN: the port is closed"));
        r.hands.click("Command5");
        QCOMPARE(name(), QString("CLOSE: the port is open"));
        r.hands.click("Command5");
        QCOMPARE(name(), QString("OPEN: the port is closed"));
        r.hands.click("Command5");
        r.port.pull();
        QTRY_COMPARE(name(), QString("OPEN: the port is closed"));
        QCOMPARE(r.prompt.shown, QStringList{"Port Lost! Check The Cable And Open It Again"});
    }

    // Every control a person can reach, under each model and arm function, has a name that is
    // neither empty nor its own value (a combo box read as "45%", a check box as "OFF"), and no
    // other control of its kind answers to it.
    void everyControlHasItsOwnName_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::newRow("Petrel") << QStringList{};
        QTest::newRow("Condor, pulse arm") << QStringList{"Option7", "Option15"};
        QTest::newRow("Falcon, level arm") << QStringList{"Option8", "Option13"};
        QTest::newRow("Harrier") << QStringList{"Option9", "Check1", "Check_d2_on", "Check_d2_in"};
    }
    void everyControlHasItsOwnName()
    {
        QFETCH(QStringList, clicks);
        ShownRig r;
        for (const QString& c : clicks)
            r.hands.click(c);
        QHash<QString, QString> byName;   // role and name -> control
        int reachable = 0;
        for (QWidget* w : r.form.findChildren<QWidget*>(QRegularExpression("^(Text|Combo|Command|Option|Check)")))
        {
            if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&r.form))
                continue;
            ++reachable;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            const QString name = a->text(QAccessible::Name), own = w->objectName();
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(own));
            QVERIFY2(name != a->text(QAccessible::Value), qPrintable(own + ": " + name));
            if (qobject_cast<QCheckBox*>(w))
                QVERIFY2(name != r.text(own), qPrintable(own + ": " + name));
            const QString key = QString::number(a->role()) + ' ' + name;
            QVERIFY2(!byName.contains(key), qPrintable(own + " and " + byName.value(key) + ": " + name));
            byName.insert(key, own);
        }
        QVERIFY(reachable >= 90);
    }

    // Tab walks the window in reading order: Model-Select first (where the keys are when the window
    // opens), then the frames side by side from left to right (GPRS-SET, OTHER-SET, PORT-SET or the
    // test frame), then GEO-FENCE and TEL NO.-SET below them, each frame row by row, left to right;
    // the port, bulk buttons and monitor last, and round again. Disabled and hidden controls are
    // passed over.
    void tabWalksTheWindowTopToBottom_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("walk");
        const QString gprs = "Text2 Text1 Command10 Text19 Text20 Command12 Text3 Text5 Command21 Text4 Text31 "
                             "Command22 Text21 Option1 Command23 Combo1 Command2 ";
        const QString tel = "Text6 Command13 Text7 Command14 Text8 Command15 Text25 Command16 Text26 Command17 "
                            "Command4 ";
        const QString fences = "Text10 Check_d1_on Check_d1_in Command29 Text11 Check_d2_on Check_d2_in Command30 "
                               "Text12 Check_d3_on Check_d3_in Command31 Text13 Check_d4_on Check_d4_in Command32 "
                               "Text14 Check_d5_on Check_d5_in Command33 ";
        const QString bottom = "Command6 Combo2 Command5 Command8 Text24";
        QTest::newRow("Petrel, as the window opens")
            << QStringList{} << "Option6 " + gprs + "Combo3 Command27 Text9 Command26 Text15 Combo4 Command25 "
                                "Text33 Command40 Text17 Check2 Command1 " + fences + tel + bottom;
        QTest::newRow("Condor, PORT-SET")
            << QStringList{"Option7"}
            << "Option7 " + gprs + "Combo3 Command27 Text9 Command26 Text15 Combo4 Command25 Text33 Command40 "
               "Text17 Check2 Command1 Option4 Command34 Option14 Option16 Command35 Option20 Command36 Command53 " +
               fences + tel + bottom;
        QTest::newRow("Harrier")
            << QStringList{"Option9"}
            << "Option9 " + gprs + "Combo3 Command27 Text9 Command26 Text15 Combo4 Command25 Text16 Text32 "
               "Command39 Text18 Command28 Text33 Command40 Text17 Check1 Check2 Command1 Command41 Command42 "
               "Command43 Command44 Command45 Command46 Command50 Command52 Option21 Command47 Option23 Command51 "
               "Option25 Command48 Option27 Command49 Command3 " + fences + tel + bottom;
    }
    void tabWalksTheWindowTopToBottom()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QString, walk);
        ShownRig r;
        for (const QString& c : clicks)
            r.hands.click(c);
        QStringList seen{r.hands.focus()->objectName()};
        for (int i = 0; i < 200; ++i) {
            r.hands.tab();
            if (r.hands.focus()->objectName() == seen.first())
                break;
            seen << r.hands.focus()->objectName();
        }
        QCOMPARE(seen.join(' '), walk);
    }
};

QTEST_MAIN(HandsTest)
#include "tst_hands.moc"
