// Form2: control access by design name, sending through the rows, and the handlers of the window,
// the port and the watcher (Form_Load, Command5_Click, MSComm1_OnComm, Timer1_Timer ...). The
// window is built in form2_build.cpp; the frames' handlers are in their own units.
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

// ---- control access -------------------------------------------------------------------------

QWidget* Form2::ctl(const QString& name) const
{
    // A misspelt design name is a fault of the program itself: stop at once, in every build.
    QWidget* w = controls_.value(name);
    if (!w)
        qFatal("Form2: no control named %s", qPrintable(name));
    return w;
}

QString controlText(const QWidget* w)
{
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    if (auto* m = qobject_cast<const QPlainTextEdit*>(w)) return m->toPlainText();
    if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
    return {};
}

QString Form2::txt(const QString& name) const
{
    return controlText(ctl(name));
}

void Form2::setTxt(const QString& name, const QString& text)
{
    QWidget* w = ctl(name);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
    else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) m->setPlainText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w)) c->setEditText(text);
    else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(text);
        nameByRow();   // a row label that changes renames its row's controls
    } else setCaption(name, text);
}

QString Form2::caption(const QString& name) const
{
    return controlText(ctl(name));
}

void Form2::setCaption(const QString& name, const QString& text)
{
    QWidget* w = ctl(name);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        g->setTitle(text);
        // Without a name of its own a frame inside a frame is read by the outer frame's caption,
        // and so are the options it holds.
        g->setAccessibleName(shownCaption(text));
    } else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
    nameByRow();
}

bool Form2::selected(const QString& name) const
{
    return static_cast<QAbstractButton*>(ctl(name))->isChecked();
}

void Form2::select(const QString& name)
{
    // Selecting runs the option's click handler when it was not selected before (toggled).
    static_cast<QAbstractButton*>(ctl(name))->setChecked(true);
}

void Form2::deselect(const QString& name)
{
    // An exclusive option button cannot be unchecked directly; lift the exclusivity for a moment.
    auto* option = static_cast<QAbstractButton*>(ctl(name));
    if (!option->isChecked())
        return;
    QButtonGroup* group = option->group();
    group->setExclusive(false);
    option->setChecked(false);
    group->setExclusive(true);
}

bool Form2::checked(const QString& name) const
{
    return static_cast<QAbstractButton*>(ctl(name))->isChecked();
}

void Form2::setChecked(const QString& name, bool on)
{
    static_cast<QAbstractButton*>(ctl(name))->setChecked(on);
}

void Form2::enable(const QString& name, bool on)
{
    ctl(name)->setEnabled(on);
}

void Form2::visible(const QString& name, bool on)
{
    ctl(name)->setVisible(on);
}

void Form2::onClick(const QString& name, std::function<void()> handler)
{
    connect(static_cast<QAbstractButton*>(ctl(name)), &QAbstractButton::clicked, this,
            [handler = std::move(handler)] { handler(); });
}

void Form2::onSelect(const QString& name, std::function<void()> handler)
{
    connect(static_cast<QAbstractButton*>(ctl(name)), &QAbstractButton::toggled, this,
            [handler = std::move(handler)](bool on) { if (on) handler(); });
}

void Form2::onToggle(const QString& name, std::function<void()> handler)
{
    connect(static_cast<QAbstractButton*>(ctl(name)), &QAbstractButton::toggled, this,
            [handler = std::move(handler)](bool) { handler(); });
}

// ---- sending --------------------------------------------------------------------------------

namespace {
// A handler naming a button that has no row or chain is a fault of the program itself.
template <class T> const T& found(const T* entry, const char* button)
{
    if (!entry)
        qFatal("Form2: %s has no row or chain", button);
    return *entry;
}
}  // namespace

void Form2::applyRow(const char* button)
{
    const rows::Row& row = found(rows::row(QLatin1String(button)), button);
    if (engine_->prologue())
        runner_->startRow(row);
}

void Form2::write(const char* button)
{
    const rows::Chain& chain = found(rows::chain(QLatin1String(button)), button);
    if (engine_->prologue())
        runner_->startChain(chain);
}

void Form2::lend(Prompt* prompt, std::optional<rows::Fields> fields)
{
    relay_.setTarget(prompt ? prompt : prompt_);
    lentFields_ = prompt ? std::move(fields) : std::nullopt;
}

rows::Fields Form2::fields() const
{
    if (lentFields_)
        return *lentFields_;
    rows::Fields f;
    f.model = selected("Option7")   ? bulk::Model::Condor
              : selected("Option8") ? bulk::Model::Falcon
              : selected("Option9") ? bulk::Model::Harrier
                                    : bulk::Model::Petrel;
    f.params = readParams();
    f.writeFuel = checked("Check1");
    f.writePassword = checked("Check2");
    return f;
}

// ---- window, port, watcher ------------------------------------------------------------------

void Form2::Form_Load()
{
    engine_->timer().setInterval(100);
    setTxt(QStringLiteral("Combo1"), QStringLiteral("TCP"));
    setTxt(QStringLiteral("Combo3"), QStringLiteral("45%"));
    setTxt(QStringLiteral("Combo4"), QStringLiteral("00"));
    enable(QStringLiteral("Frame5"), false);
    setFrame8Place();
    select(QStringLiteral("Option6"));
    setChecked(QStringLiteral("Check2"), false);
    enable(QStringLiteral("Command11"), false);
}

void Form2::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
}

void Form2::Form_Unload()
{
    // Ends at once: no question, no command; the port is released with the program.
    engine_->timer().stop();
    if (port_->isOpen())
        port_->close();
    emit unloaded();
}

void Form2::openPort(bool fromList)
{
    const QString choice = txt(QStringLiteral("Combo2"));
    if (choice.isEmpty()) {
        engine_->inform(fromList ? QStringLiteral("PLS Select CommPort")
                                 : QStringLiteral("请选择CommPort"));
        return;
    }
    // Only the nine names open a port: any other text would open the port chosen before while the
    // box names another, and a technician with two trackers attached would configure the wrong one.
    int number = 0;
    for (int n = 1; n <= 9; ++n)
        if (choice == QStringLiteral("COM%1").arg(n))
            number = n;
    if (number && holder_) {
        if (const QString held = holder_(number); !held.isEmpty()) {
            engine_->inform(held);
            return;
        }
    }
    if (number)
        port_->setNumber(number);
    const int failure = number ? port_->open() : int(Port::NoSuchPort);
    if (failure) {
        engine_->replaceMonitor(QString::number(failure));
        // Before a box: whoever explains the failure finds its number in the monitor.
        emit portOpened(port_->number(), failure);
        if (failure == Port::NoSuchPort)
            engine_->inform(fromList ? QStringLiteral("Invalid Port") : QStringLiteral("Invalid PORT"));
        else if (failure == Port::AlreadyOpen)
            engine_->inform(fromList ? QStringLiteral("The Port Opened") : QStringLiteral("PORT Is Opened"));
        return;
    }
    setCaption(QStringLiteral("Command5"), QStringLiteral("CLOSE"));
    port_->discardOutput();
    port_->discardInput();
    emit portOpened(port_->number(), 0);
}

bool Form2::closePort()
{
    if (const int failure = port_->close()) {
        engine_->replaceMonitor(QString::number(failure));
        return false;
    }
    setCaption(QStringLiteral("Command5"), QStringLiteral("OPEN"));
    emit portClosed();
    return true;
}

void Form2::Command5_Click()
{
    if (caption(QStringLiteral("Command5")) == QLatin1String("OPEN")) {
        openPort(false);
        return;
    }
    closePort();
}

void Form2::Combo2_Click()
{
    if (caption(QStringLiteral("Command5")) == QLatin1String("CLOSE") && !closePort())
        return;
    openPort(true);
}

void Form2::MSComm1_OnComm(int event)
{
    engine_->receive(event);
}

void Form2::MSComm1_Lost()
{
    // The device went away while open: the port is closed already; say so once.
    setCaption(QStringLiteral("Command5"), QStringLiteral("OPEN"));
    emit portClosed();
    engine_->portLost();
}

void Form2::Text24_Change()
{
    monitorView_->showNewest();
}

void Form2::Timer1_Timer()
{
    engine_->tick();
}
