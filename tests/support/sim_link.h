#pragma once
#include "link/link.h"
#include "link/plan_run.h"
#include "sim/tracker.h"
#include "support/fakes.h"

#include <QStringList>
#include <functional>
#include <optional>

// The one run of a plan on a fake port whose other end is a simulated tracker, in the test's own
// time: the test steps the world, each step either answers the newest line (as the peer says) or
// ticks the watcher once.
struct SimLink {
    FakePort port;
    TrackerLink link{port};
    PlanRun run{link};
    sim::Tracker tracker;
    std::optional<PlanRun::Result> ended;
    QStringList acknowledged;   // as the run told them, "index line"
    int answered = 0;           // lines of the wire the peer has seen

    // How the tracker answers one line; by default as a tracker does.
    std::function<QString(const QString&)> peer = [this](const QString& line) { return tracker.handle(line); };

    SimLink();
    QStringList wire() const;   // the lines written, without "\r\n"
    void tick();
    void step();
    // Steps until the run ends or `until` says so; false when neither came within a bound.
    bool serve(const std::function<bool()>& until = nullptr);
    // Serves the run started to its end and gives its result.
    const PlanRun::Result& served();
};
