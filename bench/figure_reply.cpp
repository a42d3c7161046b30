// 1: one GPRS "Apply" on the window, from the last byte of the tracker's reply to the box that
// judges it.
#include "figures.h"
#include "fixtures.h"
#include "harness.h"

#include "link/engine.h"

void replyFigure(Bench& bench)
{
    BenchWindow& rig = *bench.window;
    constexpr int kRuns = 20;
    rig.reset();
    rig.type("Text1", QStringLiteral("internet.example"));
    qint64 replyAt = 0;
    auto conn = QObject::connect(&rig.sim, &sim::PtyTracker::replied, [&] { replyAt = nowNs(); });
    std::vector<double> v;
    bool valid = true;
    for (int i = 0; i < kRuns; ++i) {
        replyAt = 0;
        const auto outcome = rig.clickForBox("Command10", text::kSettingOk, 3000);
        if (!outcome.shown || replyAt == 0) {
            valid = false;
            continue;
        }
        v.push_back(toMs(outcome.shown - replyAt));
        pause(20);
    }
    QObject::disconnect(conn);
    bench.report.add({"1", "reply-to-outcome: last byte of \" OK!\" written → \"Setting OK!\" shown", "≤ 110 ms",
                      fmt(median(v), 1) + " ms", fmt(largest(v), 1) + " ms", QString::number(v.size()),
                      verdict(valid && !v.empty(), largest(v) <= kTickMs + 10)});
}
