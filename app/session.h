#pragma once
#include "link/link.h"
#include "link/plan_run.h"

#include <QString>
#include <functional>

class Port;

// korvane-cli's front-end of the one run of a plan (link/plan_run.h) on one open port: the run
// judges, bounds and records; this says it in the tool's lines, with the profile's keys its users
// edit, and turns the outcome into the exit status.
namespace cli {

// Exit statuses, as the manual page lists them.
enum Status {
    Done = 0,
    Differs = 1,         // verify: some field differs
    TrackerFailed = 2,   // a refusal, a wrong reply, no reply, or a reply without end
    BadInput = 3,        // a bad profile, bad arguments or an output that cannot be written; nothing was sent
    PortFailed = 4,      // the port cannot be opened, or another process has it
    OutputFailed = 5,    // the tracker was read, but the profile or report could not be written out
    Interrupted = 128,   // plus the signal's number: 129 for SIGHUP, 130 for SIGINT, 143 for SIGTERM
};

// Where the session's lines go. progress: one line per command (silenced by --quiet); error: the
// reason a run stopped, always shown.
struct Output {
    std::function<void(const QString&)> progress;
    std::function<void(const QString&)> error;
    std::function<void()> written;   // a write's commands were all acknowledged
};

class Session {
public:
    Session(Port& port, Output output);

    // Each runs to its end and returns the exit status; result() holds the rest. The profile of a
    // write must have been checked; its read-back leaves the comparison in result().
    int read(bulk::Model model);
    int write(const bulk::Profile& profile, bool readBack);
    int verify(const bulk::Profile& profile);
    int reset();

    // A signal: the command in flight is abandoned, the run ends after saying what was written.
    void interrupt(int signal) { run_.interrupt(signal); }

    const PlanRun::Result& result() const { return run_.result(); }
    const bulk::Plan& plan() const { return run_.plan(); }
    bulk::RecordEntry recordEntry() const { return run_.recordEntry(); }

private:
    int ended();
    QString progressLine(int index, int total, const QString& line, const QString& verdict) const;

    TrackerLink link_;
    PlanRun run_;
    Output out_;
};

}  // namespace cli
