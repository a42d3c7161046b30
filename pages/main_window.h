#pragma once
#include "link/plan_run.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class Form2;
class PortsDialog;
class StationDialog;
class Prompt;
class QAction;
class QDialog;
class QLabel;
class QProgressDialog;
namespace bulk {
struct Profile;
struct Identity;
}

// Where the File menu asks for a file name: the program asks with QFileDialog, tests answer
// directly. An empty name means the technician cancelled.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual QString openName(QWidget* parent) = 0;
    virtual QString saveName(QWidget* parent) = 0;
};

class DialogFileChooser : public FileChooser {
public:
    QString openName(QWidget* parent) override;
    QString saveName(QWidget* parent) override;

private:
    QString folder_;   // the folder of the last profile chosen, offered again
};

// The program's window: Form2, unchanged, as the client area under a menu bar whose File menu
// opens and saves profiles. Closing it ends the program as Form2's own close does (Form_Unload).
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();                                    // real Form2, file dialogs and message boxes
    MainWindow(Form2* form, FileChooser* chooser);   // the form is owned, the chooser not (tests)
    ~MainWindow() override;

    Form2& form() { return *form_; }

    // Start-up: the profile named on the command line, if any, then the window. A bad profile
    // shows its message and the window comes up as after start.
    void start(const QString& profilePath);

    // File → "Open Profile…": fills the fields from the profile, model first; sends nothing.
    // A bad profile shows its message and changes nothing. True when it was applied.
    bool openProfile(const QString& path);
    // File → "Save Profile…": what the fields hold now. True when it was written.
    bool saveProfile(const QString& path);
    // The profile of the fields as they are: fuel only with "Fuel" checked, password only with
    // "Password" checked.
    bulk::Profile currentProfile() const;

    QAction* openAction() const { return open_; }
    QAction* saveAction() const { return save_; }
    QAction* quitAction() const { return quit_; }
    QAction* portsAction() const { return ports_; }
    QAction* writeAllAction() const { return writeAll_; }
    QAction* compareAction() const { return compare_; }
    QAction* stationAction() const { return station_; }

    // Tracker → "Write All to Tracker": the profile of the boxes, checked as Save Profile checks it,
    // one question, then every command of its plan with a progress dialog instead of a box each,
    // the dump read back and compared, and one summary.
    void writeAll();
    // Tracker → "Compare with Tracker": reads the dump, changes no box, lists what differs.
    void compareWithTracker();
    // Ports…: shows the dialog (one at a time, raised when asked again).
    PortsDialog* showPorts();
    // Tracker → "Station…": shows the station beside the window (one at a time, raised when asked
    // again). The window keeps working on the ports the station does not hold.
    StationDialog* showStation();
    // Closes the window's port as "CLOSE" does (the station takes it over).
    bool closePort();
    // Before the window closes: a running station is stopped after one question, and waited for.
    // False when the technician keeps it running.
    bool stopStation();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void fitToPixels();
    void apply(const bulk::Profile& profile);
    void portOpened(int number, int failure);
    void buildTrackerMenu();
    void runFinished(const PlanRun::Result& result);
    QString summary(const PlanRun::Result& result) const;
    void showComparison(const PlanRun::Result& result);
    void showIdentity(const bulk::Identity& identity);
    void record(const PlanRun::Result& result);
    QString portName() const;
    QString stoppedWhere(const PlanRun::Result& result) const;

    Form2* form_;
    std::unique_ptr<FileChooser> ownedChooser_;
    FileChooser* chooser_;
    std::unique_ptr<Prompt> prompt_;
    QAction* open_ = nullptr;
    QAction* save_ = nullptr;
    QAction* quit_ = nullptr;
    QAction* ports_ = nullptr;
    QPointer<PortsDialog> portsDialog_;   // gone with the dialog, also while the window itself goes

    QAction* writeAll_ = nullptr;
    QAction* compare_ = nullptr;
    QAction* station_ = nullptr;
    QPointer<StationDialog> stationDialog_;
    PlanRun* run_ = nullptr;
    bulk::Profile running_;                  // what the run under way writes or compares
    QPointer<QProgressDialog> progress_;
    QPointer<QDialog> comparison_;
    QLabel* identity_ = nullptr;
    // The profile file last opened or saved, and what the boxes held then: a run names the file
    // only while the boxes still hold that.
    QString profileFile_;
    std::unique_ptr<bulk::Profile> fileProfile_;
};
