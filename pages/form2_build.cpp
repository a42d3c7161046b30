// Form2 built: its controls from the layout table, their option groups, the names assistive tools
// read, the tab order, and the wiring of every control to its handler. The handlers are in
// form2.cpp and the units of the frames.
#include "pages/form2.h"
#include "ports/ports.h"
#include "ports/ports_system.h"
#include "link/port.h"
#include "pages/message_box.h"
#include "pages/monitor_view.h"
#include "link/serial_port.h"
#include "pages/accessible.h"
#include "pages/layout.h"
#include "pages/look.h"

#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <string_view>

namespace {

QFont fontFor(layout::Font f)
{
    using layout::Font;
    auto times = [](double pt, bool bold = false) {
        QFont font(QStringLiteral("Times New Roman"));
        font.setPointSizeF(pt);
        font.setBold(bold);
        // Smoothed, also inside PORT-SET, whose crisp Song face "Door-level" would inherit.
        font.setStyleStrategy(QFont::PreferDefault);
        return font;
    };
    switch (f) {
    case Font::Base: return times(9);
    case Font::FrameCaption: return times(9, true);
    case Font::Label: return times(10.5);
    case Font::Box: return times(10.5);
    case Font::Apply: return times(8.25);
    case Font::Bulk: return times(12, true);
    case Font::Open: return times(14.25, true);
    case Font::Song: return look::songFont(9);
    case Font::SongBold: return look::songFont(9, true);
    case Font::Colon: return look::songFont(15, true);
    }
    return times(9);
}

// The port box. Leaving it, or pressing Enter in it, lets QComboBox complete the typed text to a
// matching entry and report that as an activation; only a pick from the list (the drop-down, or
// the arrow keys on the closed box) is a choice of port, so typing is told apart here.
class PortCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    bool finishingTyping() const { return finishing_ > 0; }
    std::function<void()> beforeList;   // the entries' tooltips, told afresh each time the list opens

    void showPopup() override
    {
        if (beforeList)
            beforeList();
        QComboBox::showPopup();
    }

protected:
    void focusOutEvent(QFocusEvent* e) override
    {
        ++finishing_;
        QComboBox::focusOutEvent(e);
        --finishing_;
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        finishing_ += enter;
        QComboBox::keyPressEvent(e);
        finishing_ -= enter;
    }

private:
    int finishing_ = 0;
};

// Enter (Return or the keypad's) on a focused push button presses it, as Space does. Held down, it
// presses once: a repeated key would send the same command again and again.
class EnterPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || !button->isEnabled())
            return false;
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }
};

}  // namespace

Form2::Form2()
    : ownedPort_(std::make_unique<SerialPort>()),
      ownedPrompt_(std::make_unique<MessageBoxPrompt>(this)),
      port_(ownedPort_.get()),
      prompt_(ownedPrompt_.get())
{
    build();
}

Form2::Form2(Port* port, Prompt* prompt) : port_(port), prompt_(prompt)
{
    build();
}

Form2::~Form2()
{
    engine_->timer().stop();
    port_->disconnect(this);
    if (ownedPort_ && ownedPort_->isOpen())
        ownedPort_->close();
}

void Form2::build()
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Korvane V2.1"));
    setFont(fontFor(layout::Font::Base));
    setFixedSize(layout::px(layout::kClientWidth), layout::px(layout::kClientHeight));

    installNamedComboBoxes();
    portsSystem_ = std::make_unique<portstool::PortsSystem>(portstool::PortsSystem::real());
    relay_.setTarget(prompt_);
    engine_ = std::make_unique<Engine>(*port_, relay_, this);
    runner_ = std::make_unique<Runner>(*engine_, [this] { return fields(); });
    runner_->beforeStep = [this](Code code) {
        // A lent run writes a profile's fields, not the boxes: no box is filled for it.
        if (!lentFields_)
            beforeStep(code);
    };
    auto* enterPresses = new EnterPresses(this);
    QStyle* controlStyle = nullptr;

    for (int i = 0; i < layout::kControlCount; ++i) {
        const layout::Control& c = layout::kControls[i];
        QWidget* parent = c.parent ? controls_.value(QString::fromLatin1(c.parent)) : this;
        Q_ASSERT(parent);
        const QString caption = QString::fromUtf8(c.caption);
        QWidget* w = nullptr;
        switch (c.kind) {
        case layout::Kind::Frame:
            w = new look::FrameBox(caption, parent);
            w->setAccessibleName(shownCaption(caption));
            break;
        case layout::Kind::Label: w = new QLabel(caption, parent); break;
        case layout::Kind::Text: w = new QLineEdit(parent); break;
        case layout::Kind::Memo: {
            if (std::string_view(c.name) == "Text24") {
                w = new MonitorView(parent);
                break;
            }
            auto* memo = new QPlainTextEdit(parent);
            memo->setTabChangesFocus(true);
            memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            memo->document()->setDocumentMargin(2);
            w = memo;
            break;
        }
        case layout::Kind::Combo: {
            auto* combo = std::string_view(c.name) == "Combo2" ? new PortCombo(parent) : new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            // What is typed stays as typed. Qt's completer would fill in the rest of a matching entry
            // ("1" becomes "10%", a minute "4" becomes "45") and make "com6" "COM6".
            combo->setCompleter(nullptr);
            w = combo;
            break;
        }
        case layout::Kind::Button: w = new QPushButton(caption, parent); break;
        case layout::Kind::Check: w = new QCheckBox(caption, parent); break;
        case layout::Kind::Option: w = new QRadioButton(caption, parent); break;
        }
        if (c.kind == layout::Kind::Check || c.kind == layout::Kind::Option) {
            if (!controlStyle)
                controlStyle = look::controlStyle(this);
            w->setStyle(controlStyle);
        }
        w->setObjectName(QString::fromLatin1(c.name));
        w->setFont(fontFor(c.font));
        w->setGeometry(layout::px(c.left), layout::px(c.top), layout::px(c.width), layout::px(c.height));
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            button->setAutoDefault(false);
            button->installEventFilter(enterPresses);
        }
        controls_.insert(w->objectName(), w);
    }

    // Design states that the table does not carry.
    auto combo = [this](const char* name) { return static_cast<QComboBox*>(ctl(QLatin1String(name))); };
    auto tip = [this](const char* name, const QString& text) { ctl(QLatin1String(name))->setToolTip(text); };

    for (int n = 1; n <= 9; ++n)
        combo("Combo2")->addItem(QStringLiteral("COM%1").arg(n));
    combo("Combo2")->setCurrentIndex(3);
    static_cast<PortCombo*>(combo("Combo2"))->beforeList = [this] { describePorts(); };
    combo("Combo1")->addItem(QStringLiteral("TCP"));
    combo("Combo1")->setEditText(QString());
    combo("Combo3")->addItems({"00%", "10%", "15%", "20%", "25%", "30%", "35%", "40%", "45%"});
    combo("Combo3")->setEditText(QString());
    combo("Combo4")->addItems({"00", "15", "30", "45"});
    combo("Combo4")->setEditText(QString());

    tip("Text19", QStringLiteral("APN Name"));
    tip("Text20", QStringLiteral("APN Password"));
    tip("Text4", QStringLiteral("Must be \"http://......\""));
    tip("Command2", QStringLiteral("Save GPRS Parameter"));
    tip("Combo3", QStringLiteral("00%-Turn Off;45%-Max"));
    tip("Text9", QStringLiteral("000-Turn Off;250-Max"));
    tip("Text16", QStringLiteral("y1,v1,y2,v2:y1.y2 is Fuel %;v1.v2 is sensor vot(mV)"));
    tip("Text32", QStringLiteral("0-Turn Off;4-Max"));
    tip("Text33", QStringLiteral("000---250"));
    tip("Text17", QStringLiteral("6 Digit"));

    setTxt(QStringLiteral("Text9"), QStringLiteral("000"));
    setTxt(QStringLiteral("Text15"), QStringLiteral("+00"));
    for (const char* name : {"Text2", "Text30", "Text23"})
        static_cast<QLineEdit*>(ctl(QLatin1String(name)))->setReadOnly(true);
    auto* label25 = static_cast<QLabel*>(ctl(QStringLiteral("Label25")));
    label25->setWordWrap(true);
    label25->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    for (const char* name : {"Command7", "Option10", "Option11", "Option12", "Label26", "Text22",
                             "Command9", "Command24", "Label38", "Text27", "Command18", "Label39",
                             "Text28", "Command19", "Label40", "Text29", "Command20", "Label19",
                             "Text16", "Command38", "Label33", "Text32", "Command39", "Label22",
                             "Text18", "Command28", "Frame10"})
        enable(QLatin1String(name), false);
    for (const char* name : {"Command37", "Label30", "Text30", "Label31", "Text23", "Frame10"})
        visible(QLatin1String(name), false);
    groupOptions();
    for (const char* name : {"Option5", "Option14", "Option17", "Option19"})
        static_cast<QRadioButton*>(ctl(QLatin1String(name)))->setChecked(true);

    monitorView_ = static_cast<MonitorView*>(ctl(QStringLiteral("Text24")));

    // A field or a row left out of one of the window's tables stops it here, in every build.
    if (const QStringList problems = startupProblems(); !problems.isEmpty())
        qFatal("Form2: %s", qPrintable(problems.join(QLatin1String("; "))));
    describeForAssistiveTools();
    setTabOrder();
    wireHandlers();
    Form_Load();
}

void Form2::groupOptions()
{
    // One exclusive group per direct container. Left to themselves, Qt's option buttons count every
    // option below their parent as a group mate, so the selected options of a nested frame would let
    // a click unselect the selected option of the frame around it.
    QHash<QWidget*, QButtonGroup*> groups;
    for (int i = 0; i < layout::kControlCount; ++i) {
        const layout::Control& c = layout::kControls[i];
        if (c.kind != layout::Kind::Option)
            continue;
        auto* option = static_cast<QRadioButton*>(ctl(QLatin1String(c.name)));
        QButtonGroup*& group = groups[option->parentWidget()];
        if (!group) {
            group = new QButtonGroup(option->parentWidget());
            group->setObjectName(option->parentWidget()->objectName() + QStringLiteral("Options"));
        }
        group->addButton(option);
    }
}

void Form2::describeForAssistiveTools()
{
    // Screen readers and UI test tools find each box by the label of its row, and are told which
    // label that is (a box with no label of its own has none). The fields' boxes are named by the
    // table of fields, the other boxes here.
    const auto name = [this](const QString& boxName, const QString& spoken, const QString& label) {
        QWidget* box = ctl(boxName);
        box->setAccessibleName(spoken);
        // The line edit of an editable combo box is what takes the typing: it carries the name too.
        if (auto* combo = qobject_cast<QComboBox*>(box))
            combo->lineEdit()->setAccessibleName(spoken);
        if (!label.isEmpty())
            static_cast<QLabel*>(ctl(label))->setBuddy(box);
    };
    for (const fields::Field& f : fields::all())
        if (!f.spoken.isEmpty())
            name(f.boxes.first(), f.spoken, f.label);
    const struct { const char* box; const char* name; const char* label; } others[] = {
        {"Text22", "ID", "Label26"}, {"Combo1", "Connection type", ""}, {"Combo2", "COM port", ""},
        {"Text24", "Receive monitor", ""},
    };
    for (const auto& n : others)
        name(QLatin1String(n.box), QLatin1String(n.name), QLatin1String(n.label));
    // The pulse description is read as it is shown; empty, it has nothing to say, and a nameless
    // label is read by the frame it sits in.
    auto* label25 = static_cast<QLabel*>(ctl(QStringLiteral("Label25")));
    label25->setAccessibleName(QStringLiteral("Pulse description"));
    nameByRow();
}

namespace {

// The name assistive tools read for a button, option or check box: what it does and the row it
// belongs to, since "Apply", "Hight" and "OFF" alone repeat all over the window. "%1" is the text
// shown by `row` now (a label or frame whose caption follows the model), "%2" the control's own caption.
struct RowName {
    const char* control;
    const char* name;
    const char* row;
};
const RowName kRowNames[] = {
    {"Command9", "Apply %1", "Label26"}, {"Command10", "Apply %1", "Label1"},
    {"Command12", "Apply APN name and password", nullptr}, {"Command21", "Apply IP and PORT", nullptr},
    {"Command22", "Apply HTTP and PORT", nullptr}, {"Command23", "Apply %1", "Label29"},
    {"Option1", "%1 %2", "Label29"}, {"Option2", "%1 %2", "Label29"}, {"Option3", "%1 %2", "Label29"},
    {"Command24", "Apply connection type", nullptr}, {"Command2", "WRITE %1", "Frame1"},
    {"Command13", "Apply %1", "Label6"}, {"Command14", "Apply %1", "Label7"}, {"Command15", "Apply %1", "Label8"},
    {"Command16", "Apply %1", "Label21"}, {"Command17", "Apply %1", "Label37"}, {"Command18", "Apply %1", "Label38"},
    {"Command19", "Apply %1", "Label39"}, {"Command20", "Apply %1", "Label40"}, {"Command4", "WRITE %1", "Frame2"},
    {"Command27", "Apply %1", "Label9"}, {"Command26", "Apply %1", "Label10"}, {"Command25", "Apply %1", "Label12"},
    {"Command38", "Apply %1", "Label19"}, {"Command39", "Apply %1", "Label33"}, {"Command28", "Apply %1", "Label22"},
    {"Command40", "Apply %1", "Label34"}, {"Command11", "Apply %1", "Label20"},
    {"Check1", "%2 in WRITE", nullptr}, {"Check2", "%2 in WRITE", nullptr}, {"Command1", "WRITE %1", "Frame3"},
    {"Option4", "%1 %2", "Label23"}, {"Option5", "%1 %2", "Label23"}, {"Command34", "Apply %1", "Label23"},
    {"Command53", "WRITE %1", "Frame5"}, {"Option16", "%1 %2", "Label24"}, {"Option17", "%1 %2", "Label24"},
    {"Command35", "Apply %1", "Label24"}, {"Command36", "Apply %1", "Frame9"},
    {"Option21", "%1 %2", "Frame11"}, {"Option22", "%1 %2", "Frame11"}, {"Command47", "Apply %1", "Frame11"},
    {"Option23", "%1 %2", "Frame12"}, {"Option24", "%1 %2", "Frame12"}, {"Command51", "Apply %1", "Frame12"},
    {"Option25", "%1 %2", "Frame13"}, {"Option26", "%1 %2", "Frame13"}, {"Command48", "Apply %1", "Frame13"},
    {"Option27", "%1 %2", "Frame14"}, {"Option28", "%1 %2", "Frame14"}, {"Command49", "Apply %1", "Frame14"},
    {"Command3", "WRITE %1", "Frame10"},
    {"Check_d1_on", "%1 ON/OFF", "Label14"}, {"Check_d1_in", "%1 IN/OUT", "Label14"}, {"Command29", "Apply %1", "Label14"},
    {"Check_d2_on", "%1 ON/OFF", "Label15"}, {"Check_d2_in", "%1 IN/OUT", "Label15"}, {"Command30", "Apply %1", "Label15"},
    {"Check_d3_on", "%1 ON/OFF", "Label16"}, {"Check_d3_in", "%1 IN/OUT", "Label16"}, {"Command31", "Apply %1", "Label16"},
    {"Check_d4_on", "%1 ON/OFF", "Label17"}, {"Check_d4_in", "%1 IN/OUT", "Label17"}, {"Command32", "Apply %1", "Label17"},
    {"Check_d5_on", "%1 ON/OFF", "Label18"}, {"Check_d5_in", "%1 IN/OUT", "Label18"}, {"Command33", "Apply %1", "Label18"},
};

// The buttons that are no row: the port, the read and the reset.
const struct {
    const char* button;
    void (Form2::*handler)();
} kNoRowClicks[] = {
    {"Command5", &Form2::Command5_Click}, {"Command8", &Form2::Command8_Click},
    {"Command3", &Form2::Command3_Click}, {"Command6", &Form2::Command6_Click},
};

// A caption as read aloud: one ampersand, no line breaks, no doubled blanks.
QString spoken(const QString& caption)
{
    return shownCaption(caption).simplified();
}

}  // namespace

void Form2::nameByRow()
{
    for (const RowName& r : kRowNames) {
        QString name = QString::fromLatin1(r.name);
        if (r.row)
            name.replace(QLatin1String("%1"), spoken(caption(QLatin1String(r.row))));
        QWidget* control = ctl(QLatin1String(r.control));
        name.replace(QLatin1String("%2"), spoken(controlText(control)));
        if (control->accessibleName() != name)
            control->setAccessibleName(name);
    }
    // The port button's caption is the port's state: a screen reader is told both, what a press
    // does and whether the port is open now.
    const bool closed = caption(QStringLiteral("Command5")) == QLatin1String("OPEN");
    ctl(QStringLiteral("Command5"))
        ->setAccessibleName(closed ? QStringLiteral("OPEN: the port is closed") : QStringLiteral("CLOSE: the port is open"));
}

QString Form2::pressTitle(const QString& button) const
{
    // "WRITE of OTHER-SET", "Apply of Cod 3": the button's caption and its row as the window shows them.
    for (const RowName& r : kRowNames) {
        if (button != QLatin1String(r.control))
            continue;
        if (!r.row)
            return QString::fromLatin1(r.name);
        return QStringLiteral("%1 of %2").arg(spoken(caption(button)), spoken(caption(QLatin1String(r.row))));
    }
    return button;
}

QStringList Form2::rowTableProblems()
{
    QStringList out;
    // A button's handler that no row, chain or other click calls leaves the button dead.
    for (int i = staticMetaObject.methodOffset(); i < staticMetaObject.methodCount(); ++i) {
        const QByteArray handler = staticMetaObject.method(i).methodSignature();
        static const QRegularExpression click(QStringLiteral("^(Command\\d+)_Click\\(\\)$"));
        const QString button = click.match(QString::fromLatin1(handler)).captured(1);
        const bool other = std::any_of(std::begin(kNoRowClicks), std::end(kNoRowClicks),
                                       [&](const auto& c) { return button == QLatin1String(c.button); });
        if (!button.isEmpty() && !rows::row(button) && !rows::chain(button) && !other)
            out << QStringLiteral("%1: its handler is in no row or chain (core/rows.cpp)").arg(QString::fromLatin1(handler));
    }
    // "Apply" and "WRITE" alone say nothing of the row; "Cut Off" or "Lock" say what they do.
    const auto check = [&out](const char* button) {
        for (int i = 0; i < layout::kControlCount; ++i) {
            const layout::Control& c = layout::kControls[i];
            if (std::string_view(c.name) != button)
                continue;
            const std::string_view caption(c.caption);
            const bool named = std::any_of(std::begin(kRowNames), std::end(kRowNames),
                                           [button](const RowName& r) { return std::string_view(r.control) == button; });
            if ((caption == "Apply" || caption == "WRITE") && !named)
                out << QStringLiteral("%1: no spoken name for its row (kRowNames)").arg(QLatin1String(button));
        }
    };
    for (const rows::Row& row : rows::allRows())
        check(row.button);
    for (const rows::Chain& chain : rows::allChains())
        check(chain.button);
    return out;
}

void Form2::setPortsSystem(const portstool::PortsSystem& system)
{
    *portsSystem_ = system;
}

void Form2::describePorts()
{
    auto* combo = static_cast<QComboBox*>(ctl(QStringLiteral("Combo2")));
    const QList<portstool::Device> devices = portsSystem_->devices();
    for (int i = 0; i < combo->count(); ++i) {
        const int n = portstool::comNumber(combo->itemText(i));
        if (n > 0)
            combo->setItemData(i, look::plainTip(portstool::comDescription(portstool::viewCom(n, *portsSystem_, devices))),
                               Qt::ToolTipRole);
    }
}

void Form2::setTabOrder()
{
    // Reading order: the frames and the loose controls (port, bulk buttons, monitor) by their top,
    // those side by side from left to right; inside a frame, row by row, each left to right.
    auto at = [this](QWidget* w) { return w->mapTo(this, QPoint(0, 0)); };
    // Places less than half a row apart count as one row.
    auto reading = [&](QWidget* a, QWidget* b) {
        const QPoint pa = at(a), pb = at(b);
        if (qAbs(pa.y() - pb.y()) > 10)
            return pa.y() < pb.y();
        return pa.x() < pb.x();
    };
    auto reachable = [this](QWidget* w) {
        return (w->focusPolicy() & Qt::TabFocus) && controls_.contains(w->objectName());
    };
    QList<QWidget*> blocks;
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QGroupBox*>(w) || reachable(w))
            blocks << w;
    }
    std::stable_sort(blocks.begin(), blocks.end(), reading);
    QList<QWidget*> chain;
    for (QWidget* block : blocks) {
        if (reachable(block)) {
            chain << block;
            continue;
        }
        QList<QWidget*> items;
        for (QWidget* w : block->findChildren<QWidget*>())
            if (reachable(w))
                items << w;
        std::stable_sort(items.begin(), items.end(), reading);
        chain += items;
    }
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

// ---- wiring ---------------------------------------------------------------------------------

void Form2::wireHandlers()
{
    connect(&engine_->timer(), &QTimer::timeout, this, &Form2::Timer1_Timer);
    connect(port_, &Port::notified, this, &Form2::MSComm1_OnComm);
    connect(port_, &Port::lost, this, &Form2::MSComm1_Lost);
    connect(engine_.get(), &Engine::monitorAppended, monitorView_, &MonitorView::putData);
    connect(engine_.get(), &Engine::monitorReplaced, monitorView_, &MonitorView::replace);
    connect(monitorView_, &MonitorView::changed, this, &Form2::Text24_Change);

    // The buttons of the row table press their rows and chains through the handler named after
    // them; the table is the one list of them, so no row can be left without its button.
    const auto wire = [this](const char* button) {
        const QByteArray slot = QByteArray(button) + "_Click()";
        const int index = metaObject()->indexOfSlot(slot.constData());
        if (index < 0)
            qFatal("Form2: no handler %s for a button of the row table", slot.constData());
        const QMetaMethod handler = metaObject()->method(index);
        onClick(QLatin1String(button), [this, handler] { handler.invoke(this, Qt::DirectConnection); });
    };
    for (const rows::Row& row : rows::allRows())
        wire(row.button);
    for (const rows::Chain& chain : rows::allChains())
        wire(chain.button);
    for (const auto& c : kNoRowClicks)
        onClick(QLatin1String(c.button), [this, handler = c.handler] { (this->*handler)(); });
    // An option's handler runs when it becomes selected, also by code.
    using Handler = void (Form2::*)();
    const struct { const char* option; Handler handler; } selects[] = {
        {"Option6", &Form2::Option6_Click},   {"Option7", &Form2::Option7_Click},   {"Option8", &Form2::Option8_Click},
        {"Option9", &Form2::Option9_Click},   {"Option13", &Form2::Option13_Click}, {"Option14", &Form2::Option14_Click},
        {"Option15", &Form2::Option15_Click}, {"Option16", &Form2::Option16_Click}, {"Option17", &Form2::Option17_Click},
    };
    for (const auto& o : selects)
        onSelect(QLatin1String(o.option), [this, handler = o.handler] { (this->*handler)(); });
    // A check box's handler runs on every change of its value.
    onToggle(QStringLiteral("Check1"), [this] { Check1_Click(); });
    onToggle(QStringLiteral("Check2"), [this] { Check2_Click(); });
    for (int fence = 1; fence <= 5; ++fence) {
        onToggle(QStringLiteral("Check_d%1_on").arg(fence), [this, fence] { FenceSwitch_Click(fence); });
        onToggle(QStringLiteral("Check_d%1_in").arg(fence), [this, fence] { FenceSide_Click(fence); });
    }

    auto* combo2 = static_cast<PortCombo*>(ctl(QStringLiteral("Combo2")));
    // A pick from the list, also of the entry already shown, is one Combo2_Click; completing typed
    // text is not a pick.
    connect(combo2, &QComboBox::activated, this, [this, combo2] {
        if (!combo2->finishingTyping())
            Combo2_Click();
    });

    runner_->registerAll();
    wireReadAll();
    wireInitialize();
}
