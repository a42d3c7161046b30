#pragma once
#include <QMainWindow>
#include <memory>

class Form2;
class PortsDialog;
class Prompt;
class QAction;
namespace bulk {
struct Profile;
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
    // Ports…: shows the dialog (one at a time, raised when asked again).
    PortsDialog* showPorts();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void apply(const bulk::Profile& profile);
    void portOpened(int number, int failure);

    Form2* form_;
    std::unique_ptr<FileChooser> ownedChooser_;
    FileChooser* chooser_;
    std::unique_ptr<Prompt> prompt_;
    QAction* open_ = nullptr;
    QAction* save_ = nullptr;
    QAction* quit_ = nullptr;
    QAction* ports_ = nullptr;
    PortsDialog* portsDialog_ = nullptr;
};
