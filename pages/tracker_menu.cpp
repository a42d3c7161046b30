// The window's "Tracker" menu: Write All to Tracker and Compare with Tracker, the tracker's identity
// in the status bar, and a line in the record for each run.
#include "bulk/record.h"
#include "core/fields.h"
#include "link/engine.h"
#include "link/port.h"
#include "link/port_names.h"
#include "pages/form2.h"
#include "pages/main_window.h"
#include "pages/station_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString listed(const QStringList& keys)
{
    return keys.join(QLatin1String(", "));
}

// The window names a field as it shows it ("ONE TEL"), not by its profile key.
QStringList captions(const QStringList& keys)
{
    QStringList shown;
    for (const QString& key : keys)
        shown << fields::caption(key);
    return shown;
}

QString notWritten(const bulk::Comparison& c)
{
    QStringList lines{QStringLiteral("Not written, and the tracker holds otherwise:")};
    for (const bulk::Difference& d : c.notWritten)
        lines << QStringLiteral("%1: window %2, tracker %3 (%4)").arg(fields::caption(d.key), d.expected, d.actual, d.notWritten);
    return lines.join(QLatin1Char('\n'));
}

// What a window's title bar needs beside its title: its buttons and margins.
constexpr int kTitleButtons = 150;

QString notComparable(const bulk::Comparison& c)
{
    return QStringLiteral("Not comparable (a dump never carries them): %1").arg(listed(captions(c.unverifiable)));
}

}  // namespace

void MainWindow::buildTrackerMenu()
{
    auto* tracker = new QMenu(QStringLiteral("&Tracker"), this);
    tracker->setObjectName(QStringLiteral("TrackerMenu"));
    // Beside File, before Ports…
    menuBar()->insertMenu(ports_, tracker);
    writeAll_ = tracker->addAction(QStringLiteral("Write All to Tracker…"));
    writeAll_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    compare_ = tracker->addAction(QStringLiteral("Compare with Tracker…"));
    compare_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    connect(writeAll_, &QAction::triggered, this, &MainWindow::writeAll);
    connect(compare_, &QAction::triggered, this, &MainWindow::compareWithTracker);
    tracker->addSeparator();
    station_ = tracker->addAction(QStringLiteral("Station…"));
    station_->setObjectName(QStringLiteral("StationAction"));
    connect(station_, &QAction::triggered, this, &MainWindow::showStation);
    // The window never opens a port the station watches: one tracker, one writer.
    form_->setPortHolder([this](int number) {
        return stationDialog_ && stationDialog_->holds(number)
                   ? QStringLiteral("COM%1 is watched by the station. Stop the station to use it here.").arg(number)
                   : QString();
    });

    run_ = new PlanRun(*form_, this);
    connect(run_, &PlanRun::finished, this, &MainWindow::runFinished);

    // Which tracker the window talked to last, beside the port hints, which come and go.
    identity_ = new QLabel(this);
    identity_->setObjectName(QStringLiteral("TrackerIdentity"));
    identity_->setTextFormat(Qt::PlainText);
    // Clear of the window's edge, as the bar's own messages are.
    identity_->setContentsMargins(6, 0, 6, 0);
    statusBar()->addPermanentWidget(identity_);
    connect(form_, &Form2::identityRead, this, &MainWindow::showIdentity);
    // Only while the port still leads to the tracker it was read from: a technician working
    // through a fleet would write down the one before.
    connect(form_, &Form2::portOpened, identity_, &QLabel::clear);
    connect(form_, &Form2::portClosed, identity_, &QLabel::clear);
}

StationDialog* MainWindow::showStation()
{
    if (!stationDialog_)
        stationDialog_ = new StationDialog(*this);
    stationDialog_->show();
    stationDialog_->raise();
    stationDialog_->activateWindow();
    return stationDialog_;
}

bool MainWindow::stopStation()
{
    if (!stationDialog_ || !stationDialog_->running())
        return true;
    if (!prompt_->ask(QStringLiteral("The station is running. Stop it and quit?")))
        return false;
    QEventLoop loop;
    connect(stationDialog_->station(), &Station::finished, &loop, &QEventLoop::quit);
    stationDialog_->stop();
    // Each write stops after its command in flight, which is bounded by the watcher's time-out.
    if (stationDialog_->running())
        loop.exec();
    return true;
}

bool MainWindow::closePort()
{
    return !form_->port().isOpen() || form_->closePort();
}

QString MainWindow::portName() const
{
    return QStringLiteral("COM%1").arg(form_->port().number());
}

void MainWindow::writeAll()
{
    if (run_->running())
        return;
    const bulk::Profile profile = currentProfile();
    if (const QString error = bulk::validate(profile); !error.isEmpty()) {
        prompt_->inform(QStringLiteral("Nothing was written to the tracker:\n%1").arg(error));
        return;
    }
    if (!form_->port().isOpen()) {
        prompt_->inform(text::kOpenPort);
        return;
    }
    const bulk::Plan plan = bulk::plan(profile);
    QStringList groups;
    for (const bulk::PlannedPress& press : plan.presses)
        if (!groups.contains(bulk::groupTitle(press.group)))
            groups << bulk::groupTitle(press.group);
    QString question = QStringLiteral("Write to the tracker on %1: %2 (%3 commands)?")
                           .arg(portName(), listed(groups))
                           .arg(plan.commands.size());
    if (!plan.passedOver.isEmpty()) {
        QStringList passed;
        for (int i = 0; i < plan.passedOverKeys.size(); ++i)
            passed << QStringLiteral("%1 (%2)").arg(fields::caption(plan.passedOverKeys[i]), plan.passedOverWhy[i]);
        question += QStringLiteral("\nNot written: %1").arg(listed(passed));
    }
    if (!prompt_->ask(question))
        return;

    running_ = profile;
    const int total = int(plan.commands.size());
    auto* dialog = new QProgressDialog(this);
    progress_ = dialog;
    progress_->setObjectName(QStringLiteral("WriteAllProgress"));
    // It quotes the profile's texts: shown as they are, never as markup.
    auto* said = new QLabel(dialog);
    said->setTextFormat(Qt::PlainText);
    progress_->setLabel(said);
    progress_->setWindowTitle(windowTitle());
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    progress_->setRange(0, total + 1);
    progress_->setLabelText(QStringLiteral("Writing to %1…").arg(portName()));
    // Cancel stops after the command in flight: the dialog stays until the run has stopped.
    disconnect(progress_, &QProgressDialog::canceled, progress_, &QProgressDialog::cancel);
    connect(dialog, &QProgressDialog::canceled, this, [this, dialog] {
        run_->cancel();
        dialog->setLabelText(dialog->labelText() + QStringLiteral("\nCancelling after this command…"));
        if (auto* button = dialog->findChild<QPushButton*>())
            button->setEnabled(false);
    });
    // Escape closes a dialog: here it cancels as the button does, and the dialog stays.
    connect(dialog, &QDialog::rejected, dialog, [dialog] {
        dialog->show();
        emit dialog->canceled();
    });
    connect(run_, &PlanRun::commandSent, dialog, [dialog](int index, int count, const QString& line) {
        dialog->setValue(index);
        dialog->setLabelText(QStringLiteral("[%1/%2] %3…").arg(index + 1).arg(count).arg(rows::visible(line)));
    });
    connect(run_, &PlanRun::readingBack, dialog, [dialog, total] {
        dialog->setValue(total);
        dialog->setLabelText(QStringLiteral("Reading back (SETG)…"));
    });
    progress_->show();
    run_->write(profile);
}

void MainWindow::compareWithTracker()
{
    if (run_->running())
        return;
    if (!form_->port().isOpen()) {
        prompt_->inform(text::kOpenPort);
        return;
    }
    // What the boxes hold, also values a write would refuse: those are differences too.
    running_ = currentProfile();
    run_->verify(running_);
}

void MainWindow::runFinished(const PlanRun::Result& result)
{
    if (progress_)
        progress_->deleteLater();
    progress_ = nullptr;
    if (result.readBack)
        showIdentity(result.identity);
    record(result);
    if (result.action != PlanRun::Action::Write && result.readBack)
        showComparison(result);
    else
        prompt_->inform(summary(result));
}

QString MainWindow::stoppedWhere(const PlanRun::Result& r) const
{
    if (r.failedAt > r.total)
        return QStringLiteral("reading the parameters (%1): %2").arg(r.failedCommand, r.cause);
    if (r.failedAt == 0)
        return r.cause;
    return QStringLiteral("%1 failed at command %2 of %3, %4: %5")
        .arg(form_->pressTitle(r.button))
        .arg(r.failedAt)
        .arg(r.total)
        .arg(rows::shown(r.failedCommand), r.cause);
}

QString MainWindow::summary(const PlanRun::Result& r) const
{
    const QString port = portName();
    const bool wrote = r.action == PlanRun::Action::Write;
    QStringList lines;
    if (!wrote) {
        lines << QStringLiteral("Compare with the tracker on %1 failed:").arg(port) << stoppedWhere(r);
    } else if (r.outcome == QLatin1String("verified")) {
        lines << QStringLiteral("Written to %1 and verified: %2 commands; the tracker holds what the window shows.")
                     .arg(port)
                     .arg(r.total);
    } else if (r.outcome == QLatin1String("differs")) {
        lines << QStringLiteral("Written to %1: all %2 commands were acknowledged, but the tracker holds otherwise:")
                     .arg(port)
                     .arg(r.total);
        for (const bulk::Difference& d : r.comparison.differ)
            lines << QStringLiteral("%1: window %2, tracker %3").arg(fields::caption(d.key), d.expected, d.actual);
    } else if (r.outcome == QLatin1String("cancelled")) {
        lines << QStringLiteral("The write to %1 was cancelled.").arg(port) << r.written;
    } else if (r.failedAt > r.total) {
        lines << QStringLiteral("Written to %1, but not verified:").arg(port) << stoppedWhere(r) << r.written;
    } else {
        lines << QStringLiteral("The write to %1 stopped:").arg(port) << stoppedWhere(r) << r.written;
    }
    if (r.readBack && !r.comparison.notWritten.isEmpty())
        lines << notWritten(r.comparison);
    if (r.readBack && !r.comparison.unverifiable.isEmpty())
        lines << notComparable(r.comparison);
    return lines.join(QLatin1Char('\n'));
}

void MainWindow::showComparison(const PlanRun::Result& result)
{
    // Beside the window rather than modal: the technician mends the boxes while reading it.
    if (comparison_)
        comparison_->close();
    auto* dialog = new QDialog(this);
    comparison_ = dialog;
    dialog->setObjectName(QStringLiteral("Comparison"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("%1 — Compare with %2").arg(windowTitle(), portName()));
    auto* layout = new QVBoxLayout(dialog);
    const QList<bulk::Difference>& differ = result.comparison.differ;
    auto* said = new QLabel(differ.isEmpty() ? QStringLiteral("The tracker holds what the window shows.")
                                             : QStringLiteral("%1 fields differ:").arg(differ.size()),
                            dialog);
    said->setObjectName(QStringLiteral("ComparisonSummary"));
    layout->addWidget(said);
    if (!differ.isEmpty()) {
        auto* table = new QTableWidget(int(differ.size()), 3, dialog);
        table->setObjectName(QStringLiteral("Differences"));
        table->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Window"), QStringLiteral("Tracker")});
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->verticalHeader()->hide();
        for (int i = 0; i < differ.size(); ++i) {
            const bulk::Difference& d = differ[i];
            // Quoted as the comparison gives them: an empty box shows as "".
            const QString cells[] = {fields::caption(d.key), d.expected, d.actual};
            for (int column = 0; column < 3; ++column)
                table->setItem(i, column, new QTableWidgetItem(cells[column]));
        }
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        // As large as its rows and columns, so that every value is read whole without scrolling.
        table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
        layout->addWidget(table);
    }
    if (!result.comparison.notWritten.isEmpty()) {
        auto* passed = new QLabel(notWritten(result.comparison), dialog);
        passed->setObjectName(QStringLiteral("NotWritten"));
        passed->setTextFormat(Qt::PlainText);
        passed->setWordWrap(true);
        layout->addWidget(passed);
    }
    if (!result.comparison.unverifiable.isEmpty()) {
        auto* unverifiable = new QLabel(notComparable(result.comparison), dialog);
        unverifiable->setObjectName(QStringLiteral("NotComparable"));
        unverifiable->setWordWrap(true);
        layout->addWidget(unverifiable);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    // Its contents and its title, within the screen; Qt's own choice is two thirds of the screen
    // at most and the frame's title cut at a table's default width.
    QSize size = dialog->sizeHint().expandedTo(
        {dialog->fontMetrics().horizontalAdvance(dialog->windowTitle()) + kTitleButtons, 0});
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog->resize(size);
    dialog->show();
}

void MainWindow::showIdentity(const bulk::Identity& identity)
{
    // As the tracker sent it, its control characters escaped.
    const auto said = [](const std::optional<QString>& text) { return rows::visible(text.value_or(QString())); };
    identity_->setText(QStringLiteral("%1: IMEI %2 · HW %3 · SW %4")
                           .arg(portName(), said(identity.imei), said(identity.hardwareVersion),
                                said(identity.softwareVersion)));
}

void MainWindow::record(const PlanRun::Result& result)
{
    bulk::RecordEntry entry = run_->recordEntry();
    entry.program = QStringLiteral("korvane");
    if (result.action == PlanRun::Action::Verify)
        entry.action = QStringLiteral("compare");
    entry.port = portName();
    // The device opened, as korvane-cli names it: not the ports folder's link, which may lead
    // elsewhere by now or nowhere.
    entry.device = form_->port().openedDevice();
    if (entry.device.isEmpty())
        entry.device = ports::followed(ports::devicePath(form_->port().number()));
    entry.adapterSerial = bulk::adapterSerial(entry.device);
    if (fileProfile_ && *fileProfile_ == running_)
        entry.profileFile = profileFile_;
    if (const QString warning = bulk::appendRecord(bulk::recordPath(), entry); !warning.isEmpty())
        statusBar()->showMessage(warning);
}
