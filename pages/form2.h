#pragma once
#include "core/codes.h"
#include "link/engine.h"
#include "link/link.h"
#include "link/prompt.h"
#include "link/runner.h"

#include <QHash>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class Port;
class Prompt;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class MonitorView;
class QPlainTextEdit;
class QRadioButton;
namespace bulk {
struct Params;
struct DumpRead;
struct Identity;
}  // namespace bulk
namespace portstool {
struct PortsSystem;
}


// The text a control shows: a box's or combo box's text, a label's, a button's or frame's caption.
QString controlText(const QWidget* control);

// The one window of the tool. Its controls carry their design names as objectName; each handler is
// named after its control and event. The handlers share the engine's four values.
class Form2 : public QWidget, public Link {
    Q_OBJECT
public:
    Form2();                                     // real serial port and real message boxes
    Form2(Port* port, Prompt* prompt);           // injected (tests); not owned
    ~Form2() override;

    Engine& engine() override { return *engine_; }
    Port& port() override { return *port_; }

    // Where the port list learns what each COM number stands for (tests stand in for the system).
    void setPortsSystem(const portstool::PortsSystem& system);
    const portstool::PortsSystem& portsSystem() const { return *portsSystem_; }
    // Each entry of the port list tells in its tooltip what that COM number stands for now.
    void describePorts();
    // The keys to the model chosen in "Model-Select", where the window's Tab order starts.
    void keysToModel();
    // Who else may hold a COM number (the station): its reason when it does, "" when not. The
    // window then does not open that port.
    void setPortHolder(std::function<QString(int number)> holder) { holder_ = std::move(holder); }
    // Closes the port as "CLOSE" does; false, with the failure in the monitor, when it stays open.
    bool closePort();

    // Handlers (public so that tests and tools can name them).
    void Form_Load();
    void Form_Unload();
    void Command5_Click();
    void Combo2_Click();
    void MSComm1_OnComm(int event);
    void MSComm1_Lost();
    void Text24_Change();
    void Timer1_Timer();

public slots:
    // The handlers of the frames. Slots, so that the row table (core/rows.h) finds the handler of
    // each of its buttons by name: a row without a handler stops the window at start.

    // Model selection
    void Option6_Click();
    void Option7_Click();
    void Option8_Click();
    void Option9_Click();

    // GPRS
    void Command10_Click();
    void Command12_Click();
    void Command21_Click();
    void Command22_Click();
    void Command23_Click();
    void Command2_Click();

    // Telephone numbers
    void Command13_Click();
    void Command14_Click();
    void Command15_Click();
    void Command16_Click();
    void Command17_Click();
    void Command18_Click();
    void Command19_Click();
    void Command20_Click();
    void Command4_Click();

    // Geo-fences
    void FenceSwitch_Click(int fence);   // Check_d1_on_Click ..
    void FenceSide_Click(int fence);     // Check_d1_in_Click ..
    void Command29_Click();
    void Command30_Click();
    void Command31_Click();
    void Command32_Click();
    void Command33_Click();

    // Other settings
    void Command27_Click();
    void Command26_Click();
    void Command25_Click();
    void Command38_Click();
    void Command39_Click();
    void Command28_Click();
    void Command40_Click();
    void Command11_Click();
    void Command1_Click();
    void Check1_Click();
    void Check2_Click();

    // Port functions
    void Command34_Click();
    void Command35_Click();
    void Command36_Click();
    void Option13_Click();
    void Option14_Click();
    void Option15_Click();
    void Option16_Click();
    void Option17_Click();

    // Test and special functions
    void Command41_Click();
    void Command42_Click();
    void Command43_Click();
    void Command44_Click();
    void Command50_Click();
    void Command47_Click();
    void Command48_Click();
    void Command49_Click();
    void Command51_Click();

    // Bulk
    void Command8_Click();
    void Command3_Click();
    void Command6_Click();

public:
    // The tracker's parameters in the controls (pages/params_view.cpp): shown in the order a read
    // of the dump fills the window, with the read's messages at their points; and read back.
    void showParams(const bulk::DumpRead& read);
    void showParams(const bulk::Params& params);
    bulk::Params readParams() const;
    // What the window lacks for the fields of `table` (their boxes, labels and places in a read's
    // order) and for the row table (its buttons' handlers and spoken names), with
    // fields::problems(): one line
    // each, empty when whole. The window stops at start when it is not.
    QStringList startupProblems(const std::vector<fields::Field>& table = fields::all()) const;

    // Write All and Compare run on the window's own link (link/plan_run.h): meanwhile the engine's
    // messages go to the run instead of message boxes, the commands are built from the run's
    // fields instead of the boxes, and the dump it asks for fills no box.
    void lend(Prompt* prompt, std::optional<rows::Fields> fields = std::nullopt) override;
    Runner& runner() override { return *runner_; }
    // A button as the window's messages name it: "WRITE of OTHER-SET", "Apply of Over Speed(Km/h)".
    QString pressTitle(const QString& button) const;
    bool request(Code code, const QString& command, std::function<void(const QString& reply)> taken) override;

signals:
    // After a read filled the window from a dump that carried the tracker's identity.
    void identityRead(const bulk::Identity& identity);
    void unloaded();
    // After each try to open COMn from OPEN or the port list: 0 when it opened, else the failure.
    void portOpened(int number, int failure);
    // The port was closed by CLOSE or by a pick of another port, or it went away.
    void portClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void groupOptions();
    void describeForAssistiveTools();
    void nameByRow();
    static QStringList rowTableProblems();
    void setTabOrder();
    void wireHandlers();
    void wireReadAll();
    void wireInitialize();

    void enableRow(const char* const (&row)[3], bool on);
    void setFrame8Place();
    void layoutOtherSet(bool fuel, bool harrier);
    void showTestFrame(bool on);
    struct PortCaptions {
        const char* frame8;
        const char* label24;
        const char* frame9;
        const char* option20;
        const char* option19;
        const char* option18;
        const char* selected;
    };
    void layoutPortPage(const PortCaptions& captions);
    void setArmInputCaption(const char* condor, const char* falcon);
    void describePulse();
    static QStringList readAllBoxes();

    // Control access by design name.
    QWidget* ctl(const QString& name) const;
    QString txt(const QString& name) const;
    void setTxt(const QString& name, const QString& text);
    void setCaption(const QString& name, const QString& caption);
    QString caption(const QString& name) const;
    bool selected(const QString& name) const;
    void select(const QString& name);
    void deselect(const QString& name);
    bool checked(const QString& name) const;
    void setChecked(const QString& name, bool on);
    void enable(const QString& name, bool on);
    void visible(const QString& name, bool on);
    void onClick(const QString& name, std::function<void()> handler);
    void onSelect(const QString& name, std::function<void()> handler);
    void onToggle(const QString& name, std::function<void()> handler);

    // Sending: the prologue, then the row's command or the chain's first step (core/rows.cpp).
    void applyRow(const char* button);
    void write(const char* button);
    rows::Fields fields() const;     // what the commands read, as the window holds it now
    void beforeStep(Code code);

    void openPort(bool fromList);
    void applyDump(const QString& reply);
    void readAll(const QStringList& boxesToEmpty);

    std::unique_ptr<Port> ownedPort_;
    std::unique_ptr<Prompt> ownedPrompt_;
    Port* port_;
    Prompt* prompt_;
    RelayPrompt relay_{nullptr};
    std::optional<rows::Fields> lentFields_;
    std::function<void(const QString&)> taker_;   // a run's request takes the reply
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<Runner> runner_;
    QHash<QString, QWidget*> controls_;
    MonitorView* monitorView_ = nullptr;
    std::unique_ptr<portstool::PortsSystem> portsSystem_;
    std::function<QString(int number)> holder_;
};
