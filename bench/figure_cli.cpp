// 9: korvane-cli, the whole tool as a script runs it: a write of a full profile against the
// simulator, and its start-up against a bare QCoreApplication program.
#include "figures.h"
#include "fixtures.h"
#include "harness.h"
#include "processes.h"

#include "bulk/profile.h"
#include "sim/pty_tracker.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

// 9a: a whole `korvane-cli write` of a full profile, process start to exit, against the simulator
// in this process (by its device path), over the commands the simulator heard. The write alone:
// its read-back is 9c's.
void cliWriteFigure(Bench& bench)
{
    constexpr int kRuns = 5;
    sim::PtyTracker sim;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fleet.json"));
    bool valid = sim.start();
    fillTracker(sim.tracker());
    sim.tracker().params().port->doorLevel = bulk::Level::High;
    const bulk::Profile profile = bulk::profileOf(bulk::Model::Condor, sim.tracker().params());
    valid = valid && bulk::saveProfile(file, profile).isEmpty();

    int commands = 0;
    QObject::connect(&sim, &sim::PtyTracker::commandReceived, [&commands] { ++commands; });
    std::vector<double> ms, ratio;
    for (int i = 0; valid && i < kRuns; ++i) {
        sim.tracker().reset();
        commands = 0;
        QProcess cli;
        const qint64 t0 = nowNs();
        cli.start(QStringLiteral(KORVANE_CLI_PATH), {QStringLiteral("write"), sim.slavePath(), file, QStringLiteral("--quiet"),
                                                     QStringLiteral("--no-verify"), QStringLiteral("--no-record")});
        spin([&cli] { return cli.state() == QProcess::NotRunning; }, 30000);
        const double t = toMs(nowNs() - t0);
        // Counted only when the tracker ends up holding what was written.
        if (cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0 ||
            sim.tracker().params().gprs->apn != profile.params.gprs->apn || commands == 0) {
            valid = false;
            break;
        }
        ms.push_back(t);
        ratio.push_back(t / (commands * kTickMs));
        pause(20);
    }
    bench.report.note(QStringLiteral("korvane-cli write: Condor, full profile, %1 commands; median %2 ms, worst %3 ms")
                          .arg(commands).arg(fmt(median(ms), 1), fmt(largest(ms), 1)));
    bench.report.add({"9a",
                      QStringLiteral("korvane-cli write of a full profile (%1 commands), process start to exit, "
                                     "time ÷ (commands × 100 ms)").arg(commands),
                      "≤ 1.10", fmt(median(ratio), 3), fmt(largest(ratio), 3), QString::number(ratio.size()),
                      verdict(valid && !ratio.empty(), largest(ratio) <= 1.10)});
}

// 9b: `korvane-cli --help` against a bare QCoreApplication program, run in pairs back to back.
void cliStartupFigure(Bench& bench)
{
    constexpr int kPairs = 20;
    const QString cli = QStringLiteral(KORVANE_CLI_PATH), core = QStringLiteral(KORVANE_CORE_BASELINE_PATH);
    runToExit(cli, {QStringLiteral("--help")});   // warm the page cache first, uncounted
    runToExit(core, {});
    std::vector<double> diff, cliMs, coreMs, cliCpu, coreCpu;
    bool valid = true;
    for (int i = 0; i < kPairs; ++i) {
        const Ended a = runToExit(cli, {QStringLiteral("--help")});
        const Ended b = runToExit(core, {});
        if (!a.ok || !b.ok) {
            valid = false;
            continue;
        }
        diff.push_back(a.wallMs - b.wallMs);
        cliMs.push_back(a.wallMs);
        coreMs.push_back(b.wallMs);
        cliCpu.push_back(a.cpuMs);
        coreCpu.push_back(b.cpuMs);
    }
    bench.report.note(QStringLiteral("korvane-cli --help (median / worst): %1 / %2 ms, CPU %3 ms; bare QCoreApplication: "
                                     "%4 / %5 ms, CPU %6 ms")
                          .arg(fmt(median(cliMs), 1), fmt(largest(cliMs), 1), fmt(median(cliCpu), 1),
                               fmt(median(coreMs), 1), fmt(largest(coreMs), 1), fmt(median(coreCpu), 1)));
    bench.report.add({"9b", "start-up: korvane-cli --help, start to exit, minus a bare QCoreApplication program",
                      "≤ +20 ms (median pair)",
                      QStringLiteral("%1 ms (%2 vs %3 ms)").arg(fmt(median(diff), 1), fmt(median(cliMs), 1), fmt(median(coreMs), 1)),
                      fmt(largest(diff), 1) + " ms", QString::number(diff.size()),
                      verdict(valid && !diff.empty(), median(diff) <= 20)});
}

// 9c: eight `korvane-cli write` processes at once, each against a simulated tracker of its own,
// against one such write alone (each with its read-back), all appending to one record.
void cliParallelFigure(Bench& bench)
{
    constexpr int kTrackers = 8, kRuns = 3;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fleet.json"));
    const QString record = dir.filePath(QStringLiteral("record.jsonl"));
    std::vector<std::unique_ptr<sim::PtyTracker>> sims;
    bool valid = true;
    for (int i = 0; i < kTrackers; ++i) {
        sims.push_back(std::make_unique<sim::PtyTracker>());
        valid = valid && sims.back()->start();
        fillTracker(sims.back()->tracker());
    }
    const bulk::Profile profile = bulk::profileOf(bulk::Model::Condor, sims.front()->tracker().params());
    valid = valid && bulk::saveProfile(file, profile).isEmpty();

    // The processes given, started together; the wall time until the last has ended.
    const auto writeOn = [&](int count) {
        std::vector<std::unique_ptr<QProcess>> runs;
        const qint64 t0 = nowNs();
        for (int i = 0; i < count; ++i) {
            sims[i]->tracker().reset();
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->start(QStringLiteral(KORVANE_CLI_PATH), {QStringLiteral("write"), sims[i]->slavePath(), file,
                                                                  QStringLiteral("--quiet"), QStringLiteral("--record"), record});
        }
        spin([&runs] {
            return std::all_of(runs.begin(), runs.end(), [](const auto& p) { return p->state() == QProcess::NotRunning; });
        }, 60000);
        const double t = toMs(nowNs() - t0);
        for (const auto& p : runs)
            if (p->exitStatus() != QProcess::NormalExit || p->exitCode() != 0) {
                valid = false;
                bench.report.note(QStringLiteral("9c: a write ended with %1: %2")
                                      .arg(p->exitCode())
                                      .arg(QString::fromLocal8Bit(p->readAllStandardError()).right(300)));
            }
        return t;
    };
    std::vector<double> alone, together, ratio;
    int wholeLines = 0;
    for (int run = 0; valid && run < kRuns; ++run) {
        alone.push_back(writeOn(1));
        pause(50);
        QFile::remove(record);
        together.push_back(writeOn(kTrackers));
        ratio.push_back(together.back() / alone.back());
        // The record holds one whole line per process.
        QFile f(record);
        wholeLines = 0;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& line : f.readAll().split('\n'))
                wholeLines += !line.isEmpty() && QJsonDocument::fromJson(line).isObject();
        valid = valid && wholeLines == kTrackers;
        pause(50);
    }
    bench.report.note(QStringLiteral("korvane-cli write with read-back, one alone / eight at once (median): %1 / %2 ms; "
                                     "the record then held %3 whole lines")
                          .arg(fmt(median(alone), 1), fmt(median(together), 1)).arg(wholeLines));
    bench.report.add({"9c",
                      QStringLiteral("eight korvane-cli write processes at once against eight trackers, wall time ÷ "
                                     "one write alone; the record holds eight whole lines"),
                      "≤ 1.15", fmt(median(ratio), 3), fmt(largest(ratio), 3), QString::number(ratio.size()),
                      verdict(valid && !ratio.empty(), largest(ratio) <= 1.15)});
}
