#include "app/station_cli.h"

#include "app/session.h"

#include "bulk/output_file.h"
#include "bulk/plan.h"
#include "bulk/report.h"
#include "bulk/values.h"
#include "core/rows.h"
#include "link/plan_run.h"
#include "link/station.h"
#include "link/terminal_text.h"
#include "ports/ports_system.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace cli {

int runStation(const QString& profileFile, const bulk::Profile& profile, const StationArguments& args,
               const QString& record, bool quiet, const Streams& streams)
{
    const auto error = [&streams](const QString& text) { streams.err(QStringLiteral("korvane-cli: ") + text); };
    const auto progress = [&streams, quiet](const QString& line) {
        if (!quiet)
            streams.err(line);
    };

    // Everything is checked before any port is opened: a bad values file sends nothing.
    station::Setup setup;
    setup.profile = profile;
    setup.profileFile = profileFile;
    setup.record = record;
    setup.again = args.again;
    setup.count = args.count;
    setup.valuesOptional = args.valuesOptional;
    if (!args.values.isEmpty()) {
        const bulk::ValuesRead read = bulk::loadValues(args.values, profile);
        if (!read.values) {
            error(QStringLiteral("%1: %2 (nothing was sent)").arg(args.values, read.error));
            return BadInput;
        }
        setup.values = read.values;
    }
    const bool reportOut = args.report == QLatin1String("-");
    if (!args.report.isEmpty() && !reportOut) {
        if (const QString problem = bulk::writableFolder(args.report); !problem.isEmpty()) {
            error(QStringLiteral("%1: %2 (nothing was sent)").arg(args.report, problem));
            return BadInput;
        }
    }
    if (reportOut && streams.outClosed) {
        error(QStringLiteral("standard output is closed; the report would be lost (nothing was sent)"));
        return BadInput;
    }

    Station station(setup);
    const auto out = [&](const QString& line) {
        if (!streams.out((text::escapeControls(line) + QLatin1Char('\n')).toUtf8()))
            error(QStringLiteral("standard output cannot be written"));
    };
    // With the report on standard output, the status lines go to standard error.
    const auto status = [&](const QString& line) {
        if (reportOut)
            streams.err(line);
        else
            out(line);
    };
    QObject::connect(&station, &Station::portStateChanged, &station,
                     [&](const QString& port, station::PortState state, const QString& detail) {
                         if (state == station::PortState::Refused)
                             error(QStringLiteral("%1: %2").arg(port, detail));
                         else if (state == station::PortState::Absent || state == station::PortState::Idle)
                             progress(QStringLiteral("%1: %2").arg(port, station::name(state)));
                     });
    QObject::connect(&station, &Station::trackerStarted, &station, [&](const QString& port, const QString& imei, int total) {
        progress(QStringLiteral("%1: %2: writing %3 commands").arg(port, rows::visible(imei, 40)).arg(total));
    });
    QObject::connect(&station, &Station::trackerFinished, &station,
                     [&](const station::Tracker& t) { status(Station::statusLine(t)); });
    QObject::connect(&station, &Station::recordProblem, &station,
                     [&](const QString& warning) { error(QStringLiteral("warning: ") + warning); });

    // The profile's fields that no press of a write sends, once for the session.
    for (const QString& field : bulk::plan(profile).passedOver)
        progress(QStringLiteral("not written: %1").arg(field));

    QEventLoop loop;
    QObject::connect(&station, &Station::finished, &loop, &QEventLoop::quit);
    // Ctrl-C, SIGTERM, SIGHUP: no new tracker; the writes in flight stop after their command in
    // flight. A second signal abandons those commands at once.
    if (streams.onSignal)
        streams.onSignal([&station, &progress](int signal) {
            progress(QStringLiteral("%1: no new tracker; the writes under way stop after their command in flight")
                         .arg(PlanRun::signalName(signal)));
            station.stop(signal);
        });
    if (args.all)
        station.watchAll(&portstool::presentPaths);
    else
        station.watch(args.ports);
    station.start();
    if (station.running())
        loop.exec();
    if (streams.onSignal)
        streams.onSignal([](int) {});   // the station is gone; the summary is on its way

    for (const QString& line : station.summary())
        status(line);
    int result = station.exitStatus();
    if (!args.report.isEmpty()) {
        const QList<bulk::ReportRow> rows = station.reportRows();
        if (reportOut) {
            if (!streams.out(bulk::reportCsv(rows))) {
                error(QStringLiteral("the report could not be written to standard output"));
                result = OutputFailed;
            }
        } else if (const QString problem = bulk::writeReport(args.report, rows); !problem.isEmpty()) {
            error(QStringLiteral("the report %1 %2").arg(args.report, problem));
            result = OutputFailed;
        }
    }
    return result;
}

}  // namespace cli
