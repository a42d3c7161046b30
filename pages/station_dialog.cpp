#include "pages/station_dialog.h"

#include "bulk/record.h"
#include "bulk/report.h"
#include "link/port.h"
#include "link/port_names.h"
#include "link/terminal_text.h"
#include "pages/form2.h"
#include "pages/look.h"
#include "pages/main_window.h"
#include "pages/message_box.h"
#include "ports/ports_system.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { PortColumn, ImeiColumn, StateColumn, OutcomeColumn, TimeColumn };

// Passed and failed are told apart by a mark and a word first, colour second: a technician who
// does not see red from green reads "✔ verified" and "✘ failed".
struct Look {
    QString mark;
    QColor background;
    bool bold;
};

Look lookOf(const station::Tracker& t)
{
    if (t.outcome == QLatin1String("verified"))
        return {QStringLiteral("✔ "), QColor(0xd8, 0xf0, 0xd8), false};
    if (t.passed())   // skipped, not in values: nothing written, nothing wrong
        return {QStringLiteral("– "), QColor(0xee, 0xee, 0xee), false};
    return {QStringLiteral("✘ "), QColor(0xf8, 0xd0, 0xd0), true};
}

// The device a port name leads to: COM1..COM9 through the ports folder, a path as it is.
QString deviceOf(const QString& name)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-9])$"), QRegularExpression::CaseInsensitiveOption);
    if (const auto m = com.match(name); m.hasMatch())
        return ports::followed(ports::devicePath(m.captured(1).toInt()));
    return ports::followed(name);
}

QString fileName(QWidget* parent, const QString& title, const QString& filter, bool save)
{
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setObjectName(save ? QStringLiteral("SaveReportDialog") : QStringLiteral("OpenFileDialog"));
    // Qt's own dialog: the same on every desktop, and one a test can type into.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString seconds(double s)
{
    return QStringLiteral("%1 s").arg(s, 0, 'f', 1);
}

}  // namespace

StationDialog::StationDialog(MainWindow& window)
    : QDialog(&window),
      window_(window),
      fromBoxes_(new QRadioButton(QStringLiteral("The window's &boxes"))),
      fromFile_(new QRadioButton(QStringLiteral("Pro&file:"))),
      profileFile_(new QLineEdit),
      browseProfile_(new QPushButton(QStringLiteral("Browse…"))),
      valuesFile_(new QLineEdit),
      browseValues_(new QPushButton(QStringLiteral("Browse…"))),
      valuesOptional_(new QCheckBox(QStringLiteral("Write a tracker with no row with the profile alone"))),
      ports_(new QLineEdit),
      allDevices_(new QCheckBox(QStringLiteral("Every serial &device"))),
      again_(new QCheckBox(QStringLiteral("Write trackers already verified &again"))),
      start_(new QPushButton(QStringLiteral("&Start"))),
      stop_(new QPushButton(QStringLiteral("S&top"))),
      saveReport_(new QPushButton(QStringLiteral("Save &Report…"))),
      close_(new QPushButton(QStringLiteral("Close"))),
      portsTable_(new QTableWidget(0, 2)),
      table_(new QTableWidget(0, 5)),
      counts_(new QLabel),
      message_(new QLabel)
{
    setObjectName(QStringLiteral("StationDialog"));
    setWindowTitle(QStringLiteral("Station"));
    const auto name = [](QWidget* w, const char* object, const QString& accessible) {
        w->setObjectName(QLatin1String(object));
        w->setAccessibleName(accessible);
    };
    name(fromBoxes_, "StationFromBoxes", QStringLiteral("Profile from the window's boxes"));
    name(fromFile_, "StationFromFile", QStringLiteral("Profile from a file"));
    name(profileFile_, "StationProfileFile", QStringLiteral("Profile file"));
    name(browseProfile_, "StationBrowseProfile", QStringLiteral("Browse for the profile file"));
    name(valuesFile_, "StationValuesFile", QStringLiteral("Values file"));
    name(browseValues_, "StationBrowseValues", QStringLiteral("Browse for the values file"));
    name(valuesOptional_, "StationValuesOptional", QStringLiteral("Write trackers with no row with the profile alone"));
    name(ports_, "StationPorts", QStringLiteral("Ports to watch"));
    name(allDevices_, "StationAllDevices", QStringLiteral("Watch every serial device"));
    name(again_, "StationAgain", QStringLiteral("Write trackers already verified again"));
    name(start_, "StationStart", QStringLiteral("Start the station"));
    name(stop_, "StationStop", QStringLiteral("Stop the station"));
    name(saveReport_, "StationSaveReport", QStringLiteral("Save the report"));
    name(close_, "StationClose", QStringLiteral("Close the station"));
    name(portsTable_, "StationPortStates", QStringLiteral("Ports watched"));
    name(table_, "StationTable", QStringLiteral("Trackers"));
    name(counts_, "StationCounts", QStringLiteral("Counts"));
    name(message_, "StationMessage", QStringLiteral("Station message"));

    fromBoxes_->setChecked(true);
    profileFile_->setPlaceholderText(QStringLiteral("fleet.json"));
    valuesFile_->setPlaceholderText(QStringLiteral("none: every tracker gets the profile alone"));
    ports_->setPlaceholderText(QStringLiteral("COM3, COM4, /dev/ttyUSB2"));
    // File names and port names typed by people, and tracker text: never markup.
    counts_->setTextFormat(Qt::PlainText);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);

    for (QTableWidget* t : {portsTable_, table_}) {
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        t->verticalHeader()->hide();
        t->horizontalHeader()->setStretchLastSection(true);
    }
    portsTable_->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("State")});
    table_->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("IMEI"), QStringLiteral("State"),
                                       QStringLiteral("Outcome"), QStringLiteral("Time")});
    // The outcome takes the room there is, on one line; its whole text is in its tooltip.
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(OutcomeColumn, QHeaderView::Stretch);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideRight);

    auto* profileBox = new QGroupBox(QStringLiteral("Profile"));
    auto* profileRow = new QHBoxLayout;
    profileRow->addWidget(fromFile_);
    profileRow->addWidget(profileFile_, 1);
    profileRow->addWidget(browseProfile_);
    auto* profileLayout = new QVBoxLayout(profileBox);
    profileLayout->addWidget(fromBoxes_);
    profileLayout->addLayout(profileRow);

    auto* form = new QFormLayout;
    auto* valuesRow = new QHBoxLayout;
    valuesRow->addWidget(valuesFile_, 1);
    valuesRow->addWidget(browseValues_);
    auto* valuesLabel = new QLabel(QStringLiteral("&Values file:"));
    valuesLabel->setBuddy(valuesFile_);
    form->addRow(valuesLabel, valuesRow);
    form->addRow(QString(), valuesOptional_);
    auto* portsRow = new QHBoxLayout;
    portsRow->addWidget(ports_, 1);
    portsRow->addWidget(allDevices_);
    auto* portsLabel = new QLabel(QStringLiteral("&Ports:"));
    portsLabel->setBuddy(ports_);
    form->addRow(portsLabel, portsRow);
    form->addRow(QString(), again_);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    buttons->addWidget(saveReport_);
    buttons->addWidget(close_);

    auto* tables = new QHBoxLayout;
    // The ports' list as wide as its names and states; the trackers' table takes the rest.
    portsTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    portsTable_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    portsTable_->horizontalHeader()->setStretchLastSection(false);
    portsTable_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    portsTable_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Expanding);
    tables->addWidget(portsTable_);
    tables->addWidget(table_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(profileBox);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(message_);
    layout->addLayout(tables, 1);
    layout->addWidget(counts_);

    // Enter in a box starts nothing by itself: Start is pressed on purpose.
    for (QPushButton* b : {start_, stop_, saveReport_, close_, browseProfile_, browseValues_})
        b->setAutoDefault(false);

    connect(fromBoxes_, &QRadioButton::toggled, this, &StationDialog::chooseProfileSource);
    connect(browseProfile_, &QPushButton::clicked, this, &StationDialog::browseProfile);
    connect(browseValues_, &QPushButton::clicked, this, &StationDialog::browseValues);
    connect(allDevices_, &QCheckBox::toggled, ports_, &QWidget::setDisabled);
    connect(start_, &QPushButton::clicked, this, &StationDialog::start);
    connect(stop_, &QPushButton::clicked, this, &StationDialog::stop);
    connect(saveReport_, &QPushButton::clicked, this, &StationDialog::saveReport);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    chooseProfileSource();
    setRunning(false);
    showCounts();
    resize(900, 540);
}

StationDialog::~StationDialog() = default;

void StationDialog::setTimings(int lookMs, int askMs, int tickMs)
{
    lookMs_ = lookMs;
    askMs_ = askMs;
    tickMs_ = tickMs;
}

void StationDialog::chooseProfileSource()
{
    const bool file = fromFile_->isChecked();
    profileFile_->setEnabled(file && !running());
    browseProfile_->setEnabled(file && !running());
}

void StationDialog::browseProfile()
{
    const QString name = fileName(this, QStringLiteral("Station Profile"),
                                  QStringLiteral("Korvane profiles (*.json);;All files (*)"), false);
    if (!name.isEmpty())
        profileFile_->setText(name);
}

void StationDialog::browseValues()
{
    const QString name =
        fileName(this, QStringLiteral("Values File"), QStringLiteral("Values (*.csv);;All files (*)"), false);
    if (!name.isEmpty())
        valuesFile_->setText(name);
}

bool StationDialog::running() const
{
    return station_ && station_->running();
}

void StationDialog::setRunning(bool running)
{
    for (QWidget* w : std::initializer_list<QWidget*>{fromBoxes_, fromFile_, valuesFile_, browseValues_,
                                                       valuesOptional_, allDevices_, again_, start_})
        w->setEnabled(!running);
    ports_->setEnabled(!running && !allDevices_->isChecked());
    chooseProfileSource();
    stop_->setEnabled(running);
    saveReport_->setEnabled(!running && station_ && !station_->trackers().isEmpty());
}

std::optional<bulk::Profile> StationDialog::profile(QString* source)
{
    MessageBoxPrompt prompt(this);
    if (fromBoxes_->isChecked()) {
        const bulk::Profile boxes = window_.currentProfile();
        if (const QString error = bulk::validate(boxes); !error.isEmpty()) {
            prompt.inform(QStringLiteral("Nothing was started: the window's boxes are refused:\n%1").arg(error));
            return std::nullopt;
        }
        *source = QString();
        return boxes;
    }
    const QString path = profileFile_->text().trimmed();
    if (path.isEmpty()) {
        prompt.inform(QStringLiteral("Nothing was started: name the profile file, or choose the window's boxes."));
        return std::nullopt;
    }
    const bulk::ProfileRead read = bulk::loadProfile(path);
    QString error = read.error;
    if (read.profile && error.isEmpty())
        error = bulk::validate(*read.profile);
    if (!read.profile || !error.isEmpty()) {
        prompt.inform(QStringLiteral("Nothing was started: %1 is refused:\n%2").arg(path, error));
        return std::nullopt;
    }
    *source = path;
    return read.profile;
}

QStringList StationDialog::portNames(bool* ok)
{
    *ok = true;
    QStringList names;
    static const QRegularExpression between(QStringLiteral("[,\\s]+"));
    for (const QString& name : ports_->text().split(between, Qt::SkipEmptyParts)) {
        static const QRegularExpression com(QStringLiteral("^COM[1-9]$"), QRegularExpression::CaseInsensitiveOption);
        if (!com.match(name).hasMatch() && !name.contains(QLatin1Char('/'))) {
            MessageBoxPrompt(this).inform(
                QStringLiteral("Nothing was started: \"%1\" is no port (COM1 to COM9, or a device such as /dev/ttyUSB0).")
                    .arg(text::escapeControls(name)));
            *ok = false;
            return {};
        }
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    return names;
}

void StationDialog::start()
{
    if (running())
        return;
    MessageBoxPrompt prompt(this);
    QString source;
    const std::optional<bulk::Profile> chosen = profile(&source);
    if (!chosen)
        return;
    station::Setup setup;
    setup.profile = *chosen;
    setup.profileFile = source;
    setup.program = QStringLiteral("korvane");
    setup.record = bulk::recordPath();
    setup.again = again_->isChecked();
    setup.valuesOptional = valuesOptional_->isChecked();
    setup.lookMs = lookMs_;
    setup.askMs = askMs_;
    setup.tickMs = tickMs_;
    if (const QString values = valuesFile_->text().trimmed(); !values.isEmpty()) {
        const bulk::ValuesRead read = bulk::loadValues(values, setup.profile);
        if (!read.values) {
            prompt.inform(QStringLiteral("Nothing was started: %1 is refused:\n%2").arg(values, read.error));
            return;
        }
        setup.values = read.values;
    }

    const bool all = allDevices_->isChecked();
    bool ok = false;
    QStringList names = all ? QStringList() : portNames(&ok);
    if (!all && !ok)
        return;
    if (!all && names.isEmpty()) {
        prompt.inform(QStringLiteral("Nothing was started: name the ports to watch, or choose every serial device."));
        return;
    }

    // The window's own port: the station and the window never write the same tracker at once.
    leftOut_.clear();
    Form2& form = window_.form();
    if (form.port().isOpen()) {
        const int number = form.port().number();
        const QString windowPort = QStringLiteral("COM%1").arg(number);
        const QString device = ports::followed(ports::devicePath(number));
        bool watched = all;
        for (const QString& n : std::as_const(names))
            watched = watched || deviceOf(n) == device;
        if (watched) {
            if (prompt.ask(QStringLiteral("%1 is open in the window. Close it there and let the station watch it?")
                               .arg(windowPort))) {
                window_.closePort();
            } else {
                leftOut_ = device;
                names.removeIf([&device](const QString& n) { return deviceOf(n) == device; });
                if (!all && names.isEmpty()) {
                    message_->setText(QStringLiteral("Nothing was started: %1 stays with the window.").arg(windowPort));
                    return;
                }
            }
        }
    }

    if (station_)
        station_->deleteLater();
    station_ = new Station(setup, {}, this);
    connect(station_, &Station::portAdded, this, [this](const QString& port) {
        portState(port, station::PortState::Absent, {});
    });
    connect(station_, &Station::portStateChanged, this, &StationDialog::portState);
    connect(station_, &Station::trackerFound, this, &StationDialog::found);
    connect(station_, &Station::trackerStarted, this, &StationDialog::started);
    connect(station_, &Station::progress, this, &StationDialog::progressed);
    connect(station_, &Station::trackerFinished, this, &StationDialog::trackerEnded);
    connect(station_, &Station::finished, this, &StationDialog::stationFinished);
    connect(station_, &Station::recordProblem, message_, &QLabel::setText);

    table_->setRowCount(0);
    portsTable_->setRowCount(0);
    currentRow_.clear();
    portRow_.clear();
    message_->setText(leftOut_.isEmpty() ? QString()
                                         : QStringLiteral("Not watched: the window's port (%1).").arg(leftOut_));
    if (all) {
        const QString keep = leftOut_;
        station_->watchAll([keep] {
            QStringList paths = portstool::presentPaths();
            paths.removeIf([&keep](const QString& p) { return ports::followed(p) == keep; });
            return paths;
        });
    } else {
        station_->watch(names);
    }
    station_->start();
    setRunning(station_->running());
    showCounts();
}

void StationDialog::stop()
{
    if (running()) {
        message_->setText(QStringLiteral("Stopping: no new tracker; the writes under way stop after their command in flight."));
        station_->stop();
    }
}

bool StationDialog::holds(int comNumber) const
{
    if (!running())
        return false;
    const QString device = ports::followed(ports::devicePath(comNumber));
    const QString name = QStringLiteral("COM%1").arg(comNumber);
    const QStringList watched = station_->ports();
    return std::any_of(watched.begin(), watched.end(), [&](const QString& p) {
        return p.compare(name, Qt::CaseInsensitive) == 0 || deviceOf(p) == device;
    });
}

void StationDialog::portState(const QString& port, station::PortState state, const QString& detail)
{
    int row = portRow_.value(port, -1);
    if (row < 0) {
        row = portsTable_->rowCount();
        portsTable_->insertRow(row);
        portRow_.insert(port, row);
        portsTable_->setItem(row, 0, new QTableWidgetItem(text::escapeControls(port)));
        portsTable_->setItem(row, 1, new QTableWidgetItem);
    }
    QString shown = station::name(state);
    if (!detail.isEmpty())
        shown += QStringLiteral(": ") + text::escapeControls(detail);
    portsTable_->item(row, 1)->setText(shown);
    // A tracker taken away while it was read or written shows in its own row's outcome.
    if (const int current = currentRow_.value(port, -1); current >= 0 && state != station::PortState::Writing &&
                                                         state != station::PortState::Reading)
        setCell(current, StateColumn, shown);
}

int StationDialog::rowFor(const QString& port, bool fresh)
{
    int row = currentRow_.value(port, -1);
    if (row >= 0 && !fresh)
        return row;
    row = table_->rowCount();
    table_->insertRow(row);
    for (int c = 0; c < table_->columnCount(); ++c)
        table_->setItem(row, c, new QTableWidgetItem);
    table_->item(row, PortColumn)->setText(text::escapeControls(port));
    currentRow_.insert(port, row);
    table_->scrollToItem(table_->item(row, PortColumn));
    return row;
}

void StationDialog::setCell(int row, int column, const QString& text)
{
    table_->item(row, column)->setText(text);
}

void StationDialog::found(const QString& port, const QString& imei)
{
    const int row = rowFor(port, true);
    setCell(row, ImeiColumn, text::escapeControls(imei));
    setCell(row, StateColumn, QStringLiteral("reading"));
}

void StationDialog::started(const QString& port, const QString& imei, int total)
{
    const int row = rowFor(port, false);
    setCell(row, ImeiColumn, text::escapeControls(imei));
    setCell(row, StateColumn, QStringLiteral("writing 0/%1").arg(total));
}

void StationDialog::progressed(const QString& port, int acknowledged, int total, const QString& line)
{
    const int row = rowFor(port, false);
    const QString state = line == QLatin1String("SETG") && acknowledged == total
                              ? QStringLiteral("reading back")
                              : QStringLiteral("writing %1/%2").arg(acknowledged).arg(total);
    setCell(row, StateColumn, state);
}

void StationDialog::trackerEnded(const station::Tracker& t)
{
    const int row = rowFor(t.port, !currentRow_.contains(t.port));
    currentRow_.remove(t.port);
    const Look look = lookOf(t);
    setCell(row, ImeiColumn, text::escapeControls(t.imei));
    setCell(row, StateColumn, QStringLiteral("done"));
    QString outcome = look.mark + t.outcome;
    if (!t.failedCommand.isEmpty())
        outcome += QStringLiteral(": ") + t.failedCommand;
    if (!t.cause.isEmpty())
        outcome += QStringLiteral(" (") + t.cause + QLatin1Char(')');
    if (!t.written.isEmpty())   // "already written: 9 of 24 commands: ..."
        outcome += QStringLiteral("; ") + t.written;
    setCell(row, OutcomeColumn, text::escapeControls(outcome));
    setCell(row, TimeColumn, seconds(t.seconds));
    // The whole line, as korvane-cli prints it, where the cell is too narrow.
    table_->item(row, OutcomeColumn)->setToolTip(look::plainTip(Station::statusLine(t)));
    for (int c = 0; c < table_->columnCount(); ++c) {
        QTableWidgetItem* item = table_->item(row, c);
        item->setBackground(look.background);
        QFont font = item->font();
        font.setBold(look.bold);
        item->setFont(font);
    }
    showCounts();
}

void StationDialog::stationFinished()
{
    setRunning(false);
    const QStringList summary = station_->summary();
    message_->setText(summary.isEmpty() ? QString() : text::escapeControls(summary.constFirst()));
    showCounts();
    if (closeWhenStopped_)
        close();
}

void StationDialog::showCounts()
{
    const station::Counts c = station_ ? station_->counts() : station::Counts{};
    counts_->setText(QStringLiteral("Verified %1 · Differs %2 · Failed %3 · Cancelled %4 · Skipped %5 · Not in values %6")
                         .arg(c.verified)
                         .arg(c.differs)
                         .arg(c.failed)
                         .arg(c.cancelled)
                         .arg(c.skipped)
                         .arg(c.notInValues));
}

void StationDialog::saveReport()
{
    if (!station_ || station_->trackers().isEmpty())
        return;
    const QString path = fileName(this, QStringLiteral("Save Report"), QStringLiteral("Reports (*.csv);;All files (*)"), true);
    if (path.isEmpty())
        return;
    if (const QString problem = bulk::writeReport(path, station_->reportRows()); !problem.isEmpty())
        MessageBoxPrompt(this).inform(QStringLiteral("%1 was not saved:\n%2").arg(path, problem));
    else
        message_->setText(QStringLiteral("Report saved: %1").arg(path));
}

void StationDialog::reject()
{
    close();
}

void StationDialog::closeEvent(QCloseEvent* event)
{
    if (!running()) {
        event->accept();
        return;
    }
    // Closing a running station stops it first: a write is never left half done by a closed dialog.
    event->ignore();
    if (MessageBoxPrompt(this).ask(QStringLiteral("The station is running. Stop it and close?"))) {
        closeWhenStopped_ = true;
        stop();
    }
}
