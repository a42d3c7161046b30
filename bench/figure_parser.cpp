// 8: the parser on a full dump, alone, in a tight loop.
#include "figures.h"
#include "fixtures.h"
#include "harness.h"

#include "core/dump_parser.h"
#include "sim/tracker.h"

void parserFigure(Bench& bench)
{
    sim::Tracker tracker;
    fillTracker(tracker);
    const QString dump = tracker.dump(true);
    const auto check = bulk::parseDump(dump, true);
    // Valid when the whole dump was read: no message, and the last field (the local time) reached.
    const bool valid = !check.incomplete && !check.intervalError && !check.localTimeError
                    && check.params.other && check.params.other->localMinutes;

    const qint64 c0 = nowNs();
    volatile size_t sink = bulk::parseDump(dump, true).incomplete;
    const double coldUs = (nowNs() - c0) / 1e3;

    constexpr int kRuns = 20, kPerRun = 1000;
    std::vector<double> perParseUs;
    for (int r = 0; r < kRuns; ++r) {
        const qint64 t0 = nowNs();
        for (int i = 0; i < kPerRun; ++i)
            sink = sink + bulk::parseDump(dump, true).incomplete;
        perParseUs.push_back((nowNs() - t0) / 1e3 / kPerRun);
    }
    const double med = median(perParseUs), worst = largest(perParseUs);
    bench.report.note(QStringLiteral("parser: dump of %1 characters, %2 fields; first (cold) parse %3 µs; "
                                     "runs of %4 parses")
                          .arg(dump.size()).arg(bulk::describe(check.params).size()).arg(fmt(coldUs, 1)).arg(kPerRun));
    bench.report.add({"8", "parser: time to parse a full dump (mean of 1000 parses per run)", "< 50 µs",
                      fmt(med, 1) + " µs", fmt(worst, 1) + " µs", QString::number(kRuns),
                      verdict(valid, worst < 50)});
}
