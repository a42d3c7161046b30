#pragma once
#include "link/station.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

class MainWindow;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

// Tracker → "Station…": a fleet written, verified and recorded without a click each, beside the
// window. The profile is the window's boxes (checked as Save Profile checks them) or a file; a
// values file adds each tracker's own values; the ports are named or every serial device. A live
// table tells each tracker's port, IMEI, state with progress, outcome and time; passed and failed
// rows differ in their words and marks as well as their colour.
//
// The port the window has open is watched only after one question, and closed in the window
// first. While the station runs, the window does not open a port it holds (MainWindow asks
// holds()).
class StationDialog : public QDialog {
    Q_OBJECT
public:
    explicit StationDialog(MainWindow& window);
    ~StationDialog() override;

    // Starts with what the dialog holds: nothing starts, and the reason is shown, when the profile,
    // the values file or the ports are refused.
    void start();
    // No new tracker; the writes under way stop after their command in flight.
    void stop();
    bool running() const;
    // Whether the station watches this port now: by its name or by the device it leads to.
    bool holds(int comNumber) const;
    Station* station() const { return station_; }

    // Timings of the station the dialog starts (tests make them shorter).
    void setTimings(int lookMs, int askMs, int tickMs);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void browseProfile();
    void browseValues();
    void saveReport();
    void chooseProfileSource();
    void portState(const QString& port, station::PortState state, const QString& detail);
    void found(const QString& port, const QString& imei);
    void started(const QString& port, const QString& imei, int total);
    void progressed(const QString& port, int acknowledged, int total, const QString& line);
    void trackerEnded(const station::Tracker& tracker);
    void stationFinished();
    void showCounts();
    void setRunning(bool running);
    int rowFor(const QString& port, bool fresh);
    void setCell(int row, int column, const QString& text);
    std::optional<bulk::Profile> profile(QString* source);
    QStringList portNames(bool* ok);

    MainWindow& window_;
    QRadioButton* fromBoxes_;
    QRadioButton* fromFile_;
    QLineEdit* profileFile_;
    QPushButton* browseProfile_;
    QLineEdit* valuesFile_;
    QPushButton* browseValues_;
    QCheckBox* valuesOptional_;
    QLineEdit* ports_;
    QCheckBox* allDevices_;
    QCheckBox* again_;
    QPushButton* start_;
    QPushButton* stop_;
    QPushButton* saveReport_;
    QPushButton* close_;
    QTableWidget* portsTable_;
    QTableWidget* table_;
    QLabel* counts_;
    QLabel* message_;

    QPointer<Station> station_;
    QHash<QString, int> currentRow_;     // port -> its row in the table while a tracker is on it
    QHash<QString, int> portRow_;        // port -> its row in the ports table
    QString leftOut_;                    // the window's port, when the technician kept it there
    int lookMs_ = 500, askMs_ = 2000, tickMs_ = 100;
    bool closeWhenStopped_ = false;
};
