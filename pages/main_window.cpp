#include "pages/main_window.h"

#include <QDebug>

#include "bulk/profile.h"
#include "pages/form2.h"
#include "pages/look.h"
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
#include <QWindow>

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
    // A new parent took the keys away from the model the form gave them to.
    form_->keysToModel();
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
    statusBar()->setToolTip(QString());
    if (failure != Port::PermissionDenied) {
        statusBar()->clearMessage();
        return;
    }
    // The device itself, not the ports folder's link to it: that is what the remedy is about.
    const QString device = ports::followed(ports::devicePath(number));
    const portstool::Access access = form_->portsSystem().access(device);
    // The whole remedy under the failure's number in the monitor and on the status bar's tooltip;
    // the bar itself keeps to one short line.
    const QString remedy =
        QStringLiteral("You may not open %1 (COM%2).\n%3").arg(device, QString::number(number), portstool::accessHint(access));
    form_->engine().replaceMonitor(QStringLiteral("%1\r\n%2").arg(QString::number(failure), remedy.trimmed()));
    statusBar()->setToolTip(look::plainTip(remedy.trimmed()));
    statusBar()->showMessage(
        QStringLiteral("8010: you may not open %1 (COM%2); how to get access is in the monitor")
            .arg(device, QString::number(number)));
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

void MainWindow::showEvent(QShowEvent* event)
{
    fitToPixels();
    // Moved to a screen of another scale, it fits again.
    if (QWindow* window = windowHandle())
        connect(window, &QWindow::screenChanged, this, &MainWindow::fitToPixels, Qt::UniqueConnection);
    QMainWindow::showEvent(event);
}

void MainWindow::fitToPixels()
{
    // Scaled by 125 % or 150 %, a menu bar of the wrong height puts the form between two rows of
    // pixels, and lines that fall between them are lost: the monitor's bottom border went under
    // its own white. The bar is made as much higher as it takes to end on a whole pixel.
    const qreal ratio = devicePixelRatioF();
    QMenuBar* bar = menuBar();
    bar->setMinimumHeight(0);
    bar->setMaximumHeight(QWIDGETSIZE_MAX);
    int height = bar->sizeHint().height();
    for (int more = 0; more < 8; ++more) {
        const qreal pixels = (height + more) * ratio;
        if (qAbs(pixels - qRound(pixels)) < 0.01) {
            height += more;
            break;
        }
    }
    bar->setFixedHeight(height);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A station at work is stopped as Stop stops it, not cut off with the window: each write under
    // way ends after its command in flight and is recorded as cancelled.
    if (!stopStation()) {
        event->ignore();
        return;
    }
    event->accept();
    form_->Form_Unload();
}
