// 6: what the window costs while it waits: CPU time of the whole process, port open, nothing asked.
#include "figures.h"
#include "fixtures.h"
#include "harness.h"

void idleFigure(Bench& bench)
{
    BenchWindow& rig = *bench.window;
    constexpr int kRuns = 3;
    constexpr int kSeconds = 10;
    rig.reset();
    spin([&] { return rig.settled(); }, 3000);
    pause(500);
    std::vector<double> v;
    qint64 events = 0;
    bool valid = rig.form->port().isOpen();
    for (int i = 0; i < kRuns; ++i) {
        valid = valid && rig.settled();
        app()->resetMeter();
        app()->countKinds = true;
        const double c0 = cpuMsSelf();
        pause(kSeconds * 1000);
        const double c1 = cpuMsSelf();
        app()->countKinds = false;
        v.push_back(c1 - c0);
        events = std::max(events, app()->events);
    }
    QStringList kinds;
    for (auto it = app()->eventsByKind.cbegin(); it != app()->eventsByKind.cend(); ++it)
        kinds << QStringLiteral("%1 × event %2").arg(it.value()).arg(it.key());
    bench.report.note(QStringLiteral("idle: port open, watcher %1, at most %2 events delivered in %3 s "
                                     "(last run: %4)")
                          .arg(rig.form->engine().timer().isActive() ? "running" : "off").arg(events).arg(kSeconds)
                          .arg(kinds.isEmpty() ? QStringLiteral("none") : kinds.join(", ")));
    bench.report.add({"6", "idle cost: CPU time of the process in 10 s, port open, no transaction", "< 10 ms",
                      fmt(median(v), 2) + " ms", fmt(largest(v), 2) + " ms", QString::number(v.size()),
                      verdict(valid && !v.empty(), largest(v) < 10)});
}
