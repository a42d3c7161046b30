#include "pages/main_window.h"

#include <QDebug>

#include "bulk/profile.h"
#include "pages/form2.h"
#include "pages/message_box.h"
#include "pages/ports_dialog.h"
#include "ports/ports.h"
#include "link/port.h"
#include "link/port_names.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QStatusBar>

namespace {

constexpr QLatin1String kFilter("Korvane profiles (*.json);;All files (*)");

// The model options of "Model-Select", in the order of bulk::Model.
const char* const kModelOptions[] = {"Option6", "Option7", "Option8", "Option9"};

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

}   // namespace

QString DialogFileChooser::openName(QWidget* parent)
{
    const QString name =
        QFileDialog::getOpenFileName(parent, QStringLiteral("Open Profile"), folder_, kFilter);
    if (!name.isEmpty())
        folder_ = QFileInfo(name).absolutePath();
    return name;
}

QString DialogFileChooser::saveName(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save Profile"), folder_, kFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString name = dialog.selectedFiles().constFirst();
    folder_ = QFileInfo(name).absolutePath();
    return name;
}

MainWindow::MainWindow()
    : form_(new Form2),
      ownedChooser_(std::make_unique<DialogFileChooser>()),
      chooser_(ownedChooser_.get())
{
    build();
}

MainWindow::MainWindow(Form2* form, FileChooser* chooser) : form_(form), chooser_(chooser)
{
    build();
}

MainWindow::~MainWindow() = default;

void MainWindow::build()
{
    setObjectName(QStringLiteral("MainWindow"));
    // Form2's boxes take their title from the window they sit in: this one.
    setWindowTitle(QStringLiteral("Korvane V2.1"));
    setCentralWidget(form_);
    // The client area keeps its fixed size; the window is that plus the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    prompt_ = std::make_unique<MessageBoxPrompt>(this);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    open_ = file->addAction(QStringLiteral("Open Profile…"));
    open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    save_ = file->addAction(QStringLiteral("Save Profile…"));
    save_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    file->addSeparator();
    quit_ = file->addAction(QStringLiteral("Quit"));
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    connect(open_, &QAction::triggered, this, [this] {
        const QString path = chooser_->openName(this);
        if (!path.isEmpty())
            openProfile(path);
    });
    connect(save_, &QAction::triggered, this, [this] {
        const QString path = chooser_->saveName(this);
        if (!path.isEmpty())
            saveProfile(path);
    });
    connect(quit_, &QAction::triggered, this, &QWidget::close);

    // Which adapter is which COM number, in the window rather than in a terminal.
    ports_ = menuBar()->addAction(QStringLiteral("&Ports…"));
    ports_->setObjectName(QStringLiteral("PortsAction"));
    connect(ports_, &QAction::triggered, this, &MainWindow::showPorts);

    // Form2 shows a failure to open as its number only; the status bar says what to do about it.
    statusBar()->setSizeGripEnabled(false);
    connect(form_, &Form2::portOpened, this, &MainWindow::portOpened);

    buildTrackerMenu();
}

PortsDialog* MainWindow::showPorts()
{
    if (!portsDialog_) {
        portsDialog_ = new PortsDialog(form_->portsSystem(), this);
        portsDialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    portsDialog_->show();
    portsDialog_->raise();
    portsDialog_->activateWindow();
    return portsDialog_;
}

void MainWindow::portOpened(int number, int failure)
{
    if (failure != Port::PermissionDenied) {
        statusBar()->clearMessage();
        return;
    }
    const QString device = ports::devicePath(number);
    const portstool::Access access = form_->portsSystem().access(device);
    statusBar()->showMessage(QStringLiteral("8010: you may not open COM%1 (%2). %3")
                                 .arg(number)
                                 .arg(device, portstool::accessHint(access).simplified()));
}

void MainWindow::start(const QString& profilePath)
{
    if (!profilePath.isEmpty())
        openProfile(profilePath);
    show();
}

bool MainWindow::openProfile(const QString& path)
{
    const bulk::ProfileRead read = bulk::loadProfile(path);
    if (!read.profile) {
        // Before the window shows (korvane BAD.json), the terminal that started it hears it too.
        if (!isVisible())
            qWarning().noquote() << QStringLiteral("korvane: %1: %2").arg(path, read.error);
        prompt_->inform(QStringLiteral("%1 was not opened:\n%2").arg(shown(path), read.error));
        return false;
    }
    apply(*read.profile);
    profileFile_ = path;
    fileProfile_ = std::make_unique<bulk::Profile>(currentProfile());
    return true;
}

void MainWindow::apply(const bulk::Profile& profile)
{
    const auto button = [this](const char* name) {
        return form_->findChild<QAbstractButton*>(QLatin1String(name));
    };
    // The model first: its layout decides what the fields below mean and which are offered.
    // Selecting it runs its click handler, as a click would, when it was not selected yet.
    button(kModelOptions[int(profile.model)])->setChecked(true);
    form_->showParams(profile.params);
    // Whether the write chain takes the fuel and password steps is part of the other settings.
    if (const auto& other = profile.params.other) {
        for (const auto& [box, present] : {std::pair{"Check1", other->fuel.has_value()},
                                           std::pair{"Check2", other->password.has_value()}}) {
            QAbstractButton* check = button(box);
            if (check->isEnabled())
                check->setChecked(present);
        }
    }
}

bulk::Profile MainWindow::currentProfile() const
{
    const auto checked = [this](const char* name) {
        return form_->findChild<QAbstractButton*>(QLatin1String(name))->isChecked();
    };
    bulk::Model model = bulk::Model::Petrel;
    for (int i = 0; i < 4; ++i)
        if (checked(kModelOptions[i]))
            model = bulk::Model(i);
    bulk::Profile profile = bulk::profileOf(model, form_->readParams());
    if (auto& other = profile.params.other) {
        if (!checked("Check1"))
            other->fuel.reset();
        if (!checked("Check2"))
            other->password.reset();
    }
    return profile;
}

bool MainWindow::saveProfile(const QString& path)
{
    const QString error = bulk::saveProfile(path, currentProfile());
    if (!error.isEmpty()) {
        prompt_->inform(QStringLiteral("%1 was not saved:\n%2").arg(shown(path), error));
        return false;
    }
    profileFile_ = path;
    fileProfile_ = std::make_unique<bulk::Profile>(currentProfile());
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    form_->Form_Unload();
}
