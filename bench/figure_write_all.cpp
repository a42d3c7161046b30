// 4b: Write All to Tracker on the window, a full Condor profile: its time over the ticks its
// commands take at the least plus a read of the dump alone (a Compare with Tracker, timed the same
// way), since a Write All ends with that read.
#include "figures.h"
#include "fixtures.h"
#include "harness.h"

#include "bulk/profile.h"
#include "link/plan_run.h"

#include <QRadioButton>

void writeAllFigure(Bench& bench)
{
    BenchWindow& rig = *bench.window;
    constexpr int kRuns = 5;
    rig.reset();
    rig.sim.tracker().reset();
    fillTracker(rig.sim.tracker());
    rig.sim.tracker().params().port->doorLevel = bulk::Level::High;
    rig.w<QRadioButton>("Option7")->click();   // Condor
    const bulk::Profile profile = bulk::profileOf(bulk::Model::Condor, rig.sim.tracker().params());

    // One run, from its start to its end; false when a write was not verified or a compare did not
    // read the dump (a compare may find the numbers no button writes).
    const auto timed = [&rig, &profile](bool write, double* ms, int* sent) {
        PlanRun run(*rig.form);
        bool over = false, ok = false;
        QObject::connect(&run, &PlanRun::finished, [&](const PlanRun::Result& r) {
            over = true;
            ok = write ? r.outcome == QLatin1String("verified") : r.readBack;
            *sent = r.commandsSent();
        });
        const qint64 t0 = nowNs();
        write ? run.write(profile) : run.verify(profile);
        spin([&over] { return over; }, 30000);
        *ms = toMs(nowNs() - t0);
        return over && ok;
    };
    std::vector<double> writeMs, readMs, ratio;
    int commands = 0;
    bool valid = true;
    for (int i = 0; valid && i < kRuns; ++i) {
        double read = 0, all = 0;
        int sent = 0, readSent = 0;
        rig.sim.tracker().reset();
        valid = timed(true, &all, &sent) && timed(false, &read, &readSent);
        commands = sent - 1;   // the plan's commands, the read-back apart
        writeMs.push_back(all);
        readMs.push_back(read);
        ratio.push_back(all / (commands * kTickMs + read));
        pause(50);
    }
    bench.report.note(QStringLiteral("Write All: Condor, full profile, %1 commands and the read-back; median %2 ms; "
                                     "a read of the dump alone %3 ms")
                          .arg(commands).arg(fmt(median(writeMs), 1), fmt(median(readMs), 1)));
    bench.report.add({"4b",
                      QStringLiteral("Write All to Tracker, full Condor profile (%1 commands and the read-back), "
                                     "time ÷ (commands × 100 ms + a read of the dump)").arg(commands),
                      "≤ 1.10", fmt(median(ratio), 3), fmt(largest(ratio), 3), QString::number(ratio.size()),
                      verdict(valid && !ratio.empty(), largest(ratio) <= 1.10)});
}
