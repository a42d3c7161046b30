// Grabs the real window, menu bar included, laid out for one model, into a PNG (for the README's
// screenshots); with --station, the Station dialog mid-session against simulated trackers.
#include "bulk/output_file.h"
#include "link/station.h"
#include "pages/form2.h"
#include "pages/main_window.h"
#include "pages/station_dialog.h"
#include "sim/pty_tracker.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <memory>
#include <vector>

namespace {

// Trackers for the station to find: most quick, one that refuses a command, the last ones slow to
// answer so that the picture shows writes under way beside trackers done.
std::vector<std::unique_ptr<sim::PtyTracker>> stationTrackers(int count)
{
    std::vector<std::unique_ptr<sim::PtyTracker>> trackers;
    for (int i = 0; i < count; ++i) {
        auto t = std::make_unique<sim::PtyTracker>();
        t->tracker().params().identity->imei = QStringLiteral("8640000000001%1").arg(i + 10);
        if (i == 2)
            t->faults().failOn = QStringLiteral("SETA1");
        if (i >= count - 2) {
            t->faults().chunkSize = 2;
            t->faults().chunkDelayMs = 40;
        }
        if (t->start())
            trackers.push_back(std::move(t));
    }
    return trackers;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane V2.1"));
    QCommandLineParser parser;
    parser.addOption({"model", "Petrel, Condor, Falcon or Harrier.", "name", "Petrel"});
    parser.addOption({"out", "PNG file to write.", "file", "window.png"});
    parser.addOption({"profile", "A profile to show in the window (its model wins).", "file"});
    parser.addOption({"station", "The Station dialog mid-session with N simulated trackers.", "N"});
    parser.process(app);

    MainWindow window;
    const QString model = parser.value("model");
    for (auto* option : window.form().findChild<QWidget*>("Frame6")->findChildren<QRadioButton*>())
        if (option->text().compare(model, Qt::CaseInsensitive) == 0)
            option->click();
    window.start(parser.value("profile"));
    QWidget* shown = &window;
    int settle = 300;
    const auto trackers = stationTrackers(parser.value("station").toInt());
    if (!trackers.empty()) {
        StationDialog* station = window.showStation();
        QStringList paths;
        for (const auto& t : trackers)
            paths << t->slavePath();
        station->findChild<QLineEdit*>("StationPorts")->setText(paths.join(QStringLiteral(", ")));
        station->findChild<QPushButton*>("StationStart")->click();
        shown = station;
        settle = 7000;
    }
    QTimer::singleShot(settle, &app, [&] {
        // Through the one file writer: a PNG replaces the old one whole, or goes into a pipe.
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        const bool grabbed = shown->grab().save(&png, "PNG");
        const QString problem = grabbed ? bulk::writeWhole(parser.value("out"), png.data()) : QStringLiteral("no image");
        if (!problem.isEmpty())
            qWarning("%s: %s", qPrintable(parser.value("out")), qPrintable(problem));
        app.exit(problem.isEmpty() ? 0 : 1);
    });
    return app.exec();
}
