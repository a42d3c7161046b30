// The window operated only as a technician operates it: mouse clicks where a control is drawn, keys
// into the focused widget, focus moved by clicks and Tab. The fake port records the wire.
#include "support/hands.h"
#include "support/rig.h"

#include <QAccessible>
#include <QApplication>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QKeyEvent>
#include <QRadioButton>
#include <QTest>

namespace {

QStringList lines(std::initializer_list<QString> l)
{
    QStringList out;
    for (const QString& s : l) out << s + "\r\n";
    return out;
}

// The options in the order a technician goes through them; the arm function last, since "Pulse
// Arm" hides the line-function frame.
const char* const kOptionOrder[] = {"Option1",  "Option2",  "Option3",  "Option4",  "Option5",  "Option16",
                                    "Option17", "Option20", "Option19", "Option18", "Option14", "Option13",
                                    "Option15", "Option21", "Option22", "Option23", "Option24", "Option25",
                                    "Option26", "Option27", "Option28"};

}  // namespace

class HandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ShownRig> rig_;                  // a fresh window for each case
    ShownRig* r = nullptr;
    Hands* h = nullptr;

    // Options selected per direct container; each list must hold at most one name.
    static QMap<QString, QStringList> selectedByFrame(const Form2& form)
    {
        QMap<QString, QStringList> out;
        for (QRadioButton* option : form.findChildren<QRadioButton*>())
            if (option->isChecked())
                out[option->parentWidget()->objectName()] << option->objectName();
        return out;
    }

    // What the row's "Apply" of an option's frame must send, read from the options on screen.
    QStringList expectedLines(const QString& frame, bool condor) const
    {
        auto on = [this](const char* name) { return r->on(name); };
        const QString arm = QString("SETS") + (on("Option14") ? "0,2," : on("Option13") ? "1,0," : "1,1,")
                            + (on("Option16") ? "1" : "0");
        if (frame == "Frame1")
            return lines({QString("SETM1,030") + (on("Option1") ? "S" : on("Option2") ? "M" : "H")});
        if (frame == "Frame5")
            return lines({on("Option4") ? "SETXD1B2F2" : "SETXD0B2F2"});
        if (frame == "Frame7" || frame == "Frame8")
            return lines({arm});
        if (frame == "Frame9")
            return condor ? lines({arm, on("Option20")   ? "SETXD2B0F1"
                                        : on("Option19") ? "SETXD2B1F0"
                                                         : "SETXD2B0F0"})
                          : QStringList();
        if (frame == "Frame11")
            return lines({QString("SETU2,") + (on("Option21") ? "1" : "0")});
        if (frame == "Frame12")
            return lines({QString("SETXD") + (on("Option23") ? "1" : "0")});
        if (frame == "Frame13")
            return lines({QString("SETU") + (on("Option25") ? "1" : "0")});
        return lines({QString("SETU") + (on("Option27") ? "3" : "4")});
    }

    static const char* applyOf(const QString& frame)
    {
        static const QHash<QString, const char*> apply = {
            {"Frame1", "Command23"},  {"Frame5", "Command34"},  {"Frame7", "Command35"}, {"Frame8", "Command35"},
            {"Frame9", "Command36"},  {"Frame11", "Command47"}, {"Frame12", "Command51"}, {"Frame13", "Command48"},
            {"Frame14", "Command49"}};
        return apply.value(frame);
    }

    static void sendRaw(QWidget* to, QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers mods, bool repeat)
    {
        QKeyEvent event(type, key, mods, key == Qt::Key_Return ? "\r" : "", repeat);
        QApplication::sendEvent(to, &event);
    }

private slots:
    void init()
    {
        rig_ = std::make_unique<ShownRig>();
        r = rig_.get();
        h = &rig_->hands;
    }
    void cleanup() { rig_.reset(); }

    // Every usable option, clicked when it is not selected and again when it is: it stays selected,
    // each direct container keeps exactly one selection (or none where none was made), and the
    // frame's "Apply" sends the line of the options shown.
    void everyOptionKeepsOneSelectionPerFrame_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("clicks");             // two for each usable option
        QTest::newRow("Petrel") << "Option6" << 6;
        QTest::newRow("Condor") << "Option7" << 26;
        QTest::newRow("Falcon") << "Option8" << 26;
        QTest::newRow("Harrier") << "Option9" << 22;
    }
    void everyOptionKeepsOneSelectionPerFrame()
    {
        QFETCH(QString, model);
        QFETCH(int, clicks);
        h->click("Command5");
        h->click(model);
        h->click(model);                              // the selected model, clicked again
        QVERIFY(r->on(model));
        h->type("Text21", "030");
        const bool condor = model == "Option7";
        const QStringList framesWithOne = selectedByFrame(r->form).keys();
        int clicked = 0;
        for (const char* name : kOptionOrder) {
            for (int pass = 0; pass < 2; ++pass) {
                auto* option = r->w<QRadioButton>(name);
                if (!option->isVisible() || !option->isEnabled())
                    break;
                const QString frame = option->parentWidget()->objectName();
                h->click(option);
                ++clicked;
                QVERIFY2(option->isChecked(), name);
                const auto selected = selectedByFrame(r->form);
                for (auto it = selected.cbegin(); it != selected.cend(); ++it)
                    QVERIFY2(it.value().size() == 1, qPrintable(it.key() + ": " + it.value().join(',')));
                for (const QString& f : framesWithOne)
                    QVERIFY2(selected.contains(f), qPrintable(f + " lost its selection after " + name));
                QCOMPARE(selected.value(frame), QStringList{name});

                r->clearLog();
                h->click(applyOf(frame));
                const QStringList expected = expectedLines(frame, condor);
                for (int reply = 0; reply < 2 && r->form.engine().timer().isActive(); ++reply)
                    r->reply(" OK!");
                QCOMPARE(r->wire(), expected);
                if (!expected.isEmpty())
                    QCOMPARE(r->prompt.shown, QStringList{"Setting OK!"});
            }
        }
        QCOMPARE(clicked, clicks);
    }

    // Arrow keys move the selection inside a frame's own group, never into a nested frame's.
    void arrowKeysStayInTheirGroup()
    {
        h->click("Option7");
        h->click("Option14");
        h->key(Qt::Key_Right);
        QCOMPARE(h->focus()->objectName(), QString("Option13"));
        QVERIFY(r->on("Option13") && !r->on("Option14"));
        h->key(Qt::Key_Right);
        QVERIFY(r->on("Option15"));
        QVERIFY(r->w("Frame9")->isHidden());          // its handler ran
        QVERIFY(r->on("Option17") && r->on("Option5"));
        h->key(Qt::Key_Left);
        h->key(Qt::Key_Left);
        QVERIFY(r->on("Option14"));
        QVERIFY(r->w("Frame9")->isVisible());
        // The models: the arrows pass over the ones that can never be selected.
        h->click("Option6");
        h->key(Qt::Key_Right);
        QVERIFY(r->on("Option7"));
        for (int i = 0; i < 3; ++i)
            h->key(Qt::Key_Right);
        QVERIFY(r->on("Option9"));
        QVERIFY(r->w("Frame10")->isVisible());
        for (const char* never : {"Option10", "Option11", "Option12"})
            QVERIFY(!r->on(never));
    }

    // The port box: typing is not a pick; a pick is one Combo2_Click; only the nine names open.
    void typedPortThenOpenOpensItOnce_data()
    {
        QTest::addColumn<bool>("leaveByTab");
        QTest::newRow("then OPEN") << false;
        QTest::newRow("then Tab, then OPEN") << true;
    }
    void typedPortThenOpenOpensItOnce()
    {
        QFETCH(bool, leaveByTab);
        h->type("Combo2", "COM6");
        if (leaveByTab) {
            h->tab();
            QVERIFY(r->port.opened.isEmpty());        // leaving the box opens nothing
            QCOMPARE(r->text("Command5"), QString("OPEN"));
        }
        h->click("Command5");
        QCOMPARE(r->port.opened, QList<int>{6});
        QCOMPARE(r->text("Command5"), QString("CLOSE"));
        QVERIFY(r->port.isOpen());
        QVERIFY(r->prompt.shown.isEmpty());
    }

    void pickFromTheListMovesThePort()
    {
        h->click("Command5");                         // COM4
        h->pick("Combo2", "COM7");                    // mouse: closes COM4, opens COM7
        QCOMPARE(r->port.opened, (QList<int>{4, 7}));
        QCOMPARE(r->text("Command5"), QString("CLOSE"));
        h->pick("Combo2", "COM7");                    // the same entry again is a pick too
        QCOMPARE(r->port.opened, (QList<int>{4, 7, 7}));
        h->key(Qt::Key_Down);                         // arrow key on the closed box
        QCOMPARE(r->text("Combo2"), QString("COM8"));
        QCOMPARE(r->port.opened, (QList<int>{4, 7, 7, 8}));
        h->key(Qt::Key_F4);                           // the list by keyboard
        QVERIFY(QTest::qWaitFor([&] { return r->w<QComboBox>("Combo2")->view()->isVisible(); }, 2000));
        h->key(Qt::Key_Up);
        h->key(Qt::Key_Return);
        QCOMPARE(r->port.opened, (QList<int>{4, 7, 7, 8, 7}));
        r->port.openFailures[3] = Port::NoSuchPort;
        h->pick("Combo2", "COM3");
        QCOMPARE(r->text("Text24"), QString("8002"));
        QCOMPARE(r->prompt.shown, QStringList{"Invalid Port"});
        QCOMPARE(r->text("Command5"), QString("OPEN"));
        QVERIFY(!r->port.isOpen());
    }

    void anUnknownPortNameIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* n : {"COM10", "com6", "COM6 ", "COM06", "COM0", "/dev/ttyS3"})
            QTest::newRow(n) << n;
    }
    void anUnknownPortNameIsRefused()
    {
        QFETCH(QString, name);
        h->click("Command5");                         // COM4 open, then closed again
        h->click("Command5");
        h->type("Combo2", name);
        h->click("Command5");
        QCOMPARE(r->text("Combo2"), name);
        QCOMPARE(r->port.opened, QList<int>{4});      // not the port chosen before
        QCOMPARE(r->text("Text24"), QString("8002"));
        QCOMPARE(r->prompt.shown, QStringList{"Invalid PORT"});
        QCOMPARE(r->text("Command5"), QString("OPEN"));
        h->type("Combo2", "");
        h->click("Command5");
        QCOMPARE(r->prompt.shown.last(), QString("请选择CommPort"));
        QCOMPARE(r->port.opened, QList<int>{4});
    }

    // What is typed into a combo box stays what was typed: no entry of its list is filled in.
    void typedComboTextIsKeptAsTyped()
    {
        h->click("Command5");
        const struct { const char* combo; const char* typed; } cases[] = {
            {"Combo3", "1"}, {"Combo3", "4"}, {"Combo4", "3"}, {"Combo4", "4"}, {"Combo2", "COM"}};
        for (const auto& c : cases) {
            h->type(c.combo, c.typed);
            h->click("Text9");                        // and the box is left
            QCOMPARE(r->text(c.combo), QString(c.typed));
        }
        h->type("Combo3", "1");
        h->click("Command27");
        h->type("Combo4", "4");
        h->click("Command25");
        QCOMPARE(r->wire(), lines({"SETN1,1", "SETL+00:4"}));
    }

    // Enter and the keypad's Enter on a focused button press it, once even when held.
    void enterPressesTheFocusedButton()
    {
        h->click("Command5");
        h->type("Text1", "apn.one");
        h->tab();
        QCOMPARE(h->focus()->objectName(), QString("Command10"));
        h->key(Qt::Key_Return);
        QCOMPARE(r->wire(), lines({"SETCapn.one"}));
        r->reply(" OK!");
        h->key(Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(r->wire().size(), 2);
        r->reply(" OK!");
        sendRaw(h->focus(), QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, false);
        for (int i = 0; i < 5; ++i)
            sendRaw(h->focus(), QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, true);
        sendRaw(h->focus(), QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, false);
        QCOMPARE(r->wire().size(), 3);
        QCOMPARE(r->prompt.shown, (QStringList{"Setting OK!", "Setting OK!"}));
        h->key(Qt::Key_Space);                        // as Space does
        QCOMPARE(r->wire().size(), 4);
    }

    // A send empties the monitor, whatever it showed, so the box shows exactly what was judged.
    void aSendEmptiesTheMonitorWhateverItHolds()
    {
        h->click("Command5");
        r->w<QPlainTextEdit>("Text24")->setPlainText("old text");   // not from the tracker
        h->click("Command27");
        QVERIFY(r->text("Text24").isEmpty());
        r->reply(" OK!");
        QCOMPARE(r->text("Text24"), QString(" OK!"));
        QCOMPARE(r->prompt.shown, QStringList{"Setting OK!"});
    }

    // Assistive tools: every box and combo box by its row's label, every option by its own frame.
    void assistiveNamesFollowTheRows()
    {
        auto named = [this](const char* control) { return QAccessible::queryAccessibleInterface(r->w(control)); };
        auto labels = [](QAccessibleInterface* a) {
            QStringList out;
            for (const auto& rel : a->relations(QAccessible::Label))
                out << rel.first->text(QAccessible::Name);
            return out;
        };
        const struct { const char* control; const char* name; } boxes[] = {
            {"Combo2", "COM port"}, {"Combo3", "LOW BAT"}, {"Combo4", "Local T minutes"},
            {"Combo1", "Connection type"}, {"Text1", "APN"}, {"Text9", "Over Speed(Km/h)"}};
        for (const auto& b : boxes)
            QCOMPARE(named(b.control)->text(QAccessible::Name), QString(b.name));
        QCOMPARE(named("Combo3")->text(QAccessible::Value), QString("45%"));
        QCOMPARE(labels(named("Combo3")), (QStringList{"LOW BAT", "OTHER-SET"}));
        const struct { const char* option; const char* frame; } options[] = {
            {"Option14", "Frame7"}, {"Option15", "Frame7"}, {"Option17", "Frame8"}, {"Option19", "Frame9"},
            {"Option4", "Frame5"},  {"Option2", "Frame1"},  {"Option27", "Frame14"}};
        for (const auto& o : options) {
            QCOMPARE(named(o.option)->text(QAccessible::Name), r->text(o.option));
            QCOMPARE(labels(named(o.option)), QStringList{r->w<QGroupBox>(o.frame)->title()});
        }
        // A caption that changes is read as it is now, its doubled ampersand as one.
        h->click("Option7");
        QCOMPARE(named("Frame8")->text(QAccessible::Name), QString("Port11 Input Level Select"));
        QCOMPARE(named("Frame10")->text(QAccessible::Name), QString("Test & Especia Set"));
    }
};

QTEST_MAIN(HandsTest)
#include "tst_hands.moc"
