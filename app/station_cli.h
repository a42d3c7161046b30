#pragma once
#include "app/cli_tool.h"
#include "bulk/profile.h"

#include <QString>
#include <QStringList>

namespace cli {

// korvane-cli station's own options.
struct StationArguments {
    QStringList ports;        // --ports, as given
    bool all = false;         // --all: every serial device the system lists
    QString values;           // --values FILE ("" none)
    bool valuesOptional = false;
    bool again = false;
    QString report;           // --report FILE ("" none, "-" standard output)
    int count = 0;            // --count N (0: until stopped)
};

// The station on the ports given until Ctrl-C, SIGTERM, SIGHUP or --count: one status line per
// tracker on standard output, then the summary. `profile` was checked whole; the values file is
// checked here before any port is opened. Returns 0 when every tracker started was verified,
// 1 otherwise, 3 for a bad values file or a report that cannot be written (nothing was sent),
// 5 when the report could not be written at the end.
int runStation(const QString& profileFile, const bulk::Profile& profile, const StationArguments& args,
               const QString& record, bool quiet, const Streams& streams);

}  // namespace cli
