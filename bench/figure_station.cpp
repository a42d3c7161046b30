// 10: korvane-cli station, the whole tool as an installer runs it: sixteen trackers on sixteen
// ports against one alone, and what watching sixteen ports costs while no tracker is there.
#include "figures.h"
#include "fixtures.h"
#include "harness.h"

#include "bulk/profile.h"
#include "sim/fleet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {

constexpr int kPorts = 16;

// CPU time of a process and all its threads: the scheduler's own count in nanoseconds
// (/proc/PID/task/*/schedstat), finer than the 10 ms clock ticks of /proc/PID/stat.
double cpuMsOf(qint64 pid)
{
    double ns = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks + u'/' + task + QStringLiteral("/schedstat"));
        if (f.open(QIODevice::ReadOnly))
            ns += f.readAll().split(' ').value(0).toDouble();
    }
    return ns / 1e6;
}

// The same from /proc/PID/stat (utime + stime, clock ticks), to check the finer figure against.
double tickCpuMsOf(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return NAN;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');   // from field 3 on
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

// A line of /proc/PID/status in KiB ("VmRSS", "VmHWM").
double statusKiB(qint64 pid, const char* key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return NAN;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').value(0).toDouble();
    return NAN;
}

struct StationRun {
    QProcess process;
    double peakKiB = 0;   // VmHWM, read every 50 ms while it runs
    QTimer sampler;

    StationRun(const QString& profile, const QStringList& ports, const QStringList& more)
    {
        process.start(QStringLiteral(KORVANE_CLI_PATH),
                      QStringList{QStringLiteral("station"), profile, QStringLiteral("--ports"), ports.join(u','),
                                  QStringLiteral("--no-record"), QStringLiteral("--quiet")} + more);
        process.waitForStarted(5000);
        sampler.setInterval(50);
        QObject::connect(&sampler, &QTimer::timeout, &sampler, [this] {
            const double hwm = statusKiB(process.processId(), "VmHWM:");
            if (!std::isnan(hwm))
                peakKiB = std::max(peakKiB, hwm);
        });
        sampler.start();
    }
    ~StationRun()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(5000);
        }
    }
    bool ended() const { return process.state() == QProcess::NotRunning; }
};

}  // namespace

void stationFigure(Bench& bench)
{
    constexpr int kRuns = 3, kIdleMs = 10000, kSettleMs = 3000;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fleet.json"));
    sim::Tracker filled;
    fillTracker(filled);
    filled.params().port->doorLevel = bulk::Level::High;
    const bulk::Profile profile = bulk::profileOf(bulk::Model::Condor, filled.params());
    bool valid = bulk::saveProfile(file, profile).isEmpty();

    // 10a: sixteen trackers, each on a line of its own, written at once by one station.
    sim::Comings comings;
    comings.imei = QStringLiteral("864000000000042");
    sim::Fleet fleet(kPorts, comings, sim::Mishap{});
    valid = valid && fleet.start();
    QStringList lines;
    for (int i = 0; i < kPorts; ++i)
        lines << fleet.path(i);
    int commands = 0;
    QObject::connect(&fleet, &sim::Fleet::commandReceived, &fleet, [&commands](int place, const QString&) { commands += place == 0; });
    const auto writeOn = [&](int count, double* peakKiB) {
        for (int i = 0; i < kPorts; ++i)
            fleet.at(i).tracker().reset();
        commands = 0;
        const qint64 t0 = nowNs();
        StationRun s(file, lines.mid(0, count), {QStringLiteral("--count"), QString::number(count)});
        spin([&s] { return s.ended(); }, 60000);
        const double t = toMs(nowNs() - t0);
        *peakKiB = s.peakKiB;
        bool held = s.process.exitStatus() == QProcess::NormalExit && s.process.exitCode() == 0;
        for (int i = 0; i < count; ++i)
            held = held && fleet.at(i).tracker().params().gprs->apn == profile.params.gprs->apn;
        if (!held) {
            valid = false;
            bench.report.note(QStringLiteral("10a: the station on %1 port(s) ended with %2: %3")
                                  .arg(count).arg(s.process.exitCode())
                                  .arg(QString::fromLocal8Bit(s.process.readAllStandardError()).right(300)));
        }
        return t;
    };
    std::vector<double> alone, together, ratio, peakAlone, peakTogether;
    for (int run = 0; valid && run < kRuns; ++run) {
        double peak = 0;
        alone.push_back(writeOn(1, &peak));
        peakAlone.push_back(peak);
        pause(100);
        together.push_back(writeOn(kPorts, &peak));
        peakTogether.push_back(peak);
        ratio.push_back(together.back() / alone.back());
        pause(100);
    }
    bench.report.note(QStringLiteral("station: Condor, full profile, %1 lines per tracker (its identity read, the write, the "
                                     "read-back); one tracker alone / sixteen at once (median): %2 / %3 ms, process start "
                                     "to exit (--count)")
                          .arg(commands).arg(fmt(median(alone), 1), fmt(median(together), 1)));
    bench.report.add({"10a",
                      QStringLiteral("korvane-cli station: sixteen trackers on sixteen ports, start until all are verified "
                                     "÷ one tracker alone"),
                      "≤ 1.15", fmt(median(ratio), 3), fmt(largest(ratio), 3), QString::number(ratio.size()),
                      verdict(valid && !ratio.empty(), largest(ratio) <= 1.15)});

    // 10b, 10c: sixteen ports watched with no tracker: the devices missing (looked for every
    // 500 ms), or sixteen adapters there with nothing behind them (asked for an identity every 2 s,
    // each ask ending in Out-Time). CPU of the station over 10 s, after 3 s to settle.
    sim::Mishap mute;
    mute.faults.silent = true;
    sim::Fleet empty(kPorts, sim::Comings{}, mute);
    const bool emptyUp = empty.start();
    QStringList missing, adapters;
    for (int i = 0; i < kPorts; ++i) {
        missing << dir.filePath(QStringLiteral("nothing%1").arg(i + 1));
        adapters << empty.path(i);
    }
    struct Idle {
        double cpuMs = NAN, tickCpuMs = NAN, rssKiB = NAN;
        int asks = 0;
    };
    int asks = 0;
    QObject::connect(&empty, &sim::Fleet::commandReceived, &empty, [&asks](int, const QString&) { ++asks; });
    const auto idle = [&](const QStringList& ports, int windowMs) {
        Idle r;
        StationRun s(file, ports, {});
        pause(kSettleMs);
        const qint64 pid = s.process.processId();
        const double c0 = cpuMsOf(pid), t0 = tickCpuMsOf(pid);
        asks = 0;
        pause(windowMs);
        if (s.ended())
            return r;
        r.cpuMs = cpuMsOf(pid) - c0;
        r.tickCpuMs = tickCpuMsOf(pid) - t0;
        r.rssKiB = statusKiB(pid, "VmRSS:");
        r.asks = asks;
        return r;
    };
    const Idle absent = idle(missing, kIdleMs);
    const Idle there = emptyUp ? idle(adapters, kIdleMs) : Idle{};
    const Idle one = emptyUp ? idle(adapters.mid(0, 1), 2000) : Idle{};
    const auto percent = [&](const Idle& r) { return r.cpuMs / kIdleMs * 100.0; };
    bench.report.note(QStringLiteral("station idle, 16 ports, devices missing: CPU %1 ms in 10 s (clock ticks of "
                                     "/proc/PID/stat: %2 ms)").arg(fmt(absent.cpuMs, 1), fmt(absent.tickCpuMs, 0)));
    bench.report.note(QStringLiteral("station idle, 16 adapters with no tracker: CPU %1 ms in 10 s (clock ticks: %2 ms); "
                                     "%3 identity reads sent meanwhile").arg(fmt(there.cpuMs, 1), fmt(there.tickCpuMs, 0)).arg(there.asks));
    bench.report.add({"10b", "korvane-cli station: CPU while 16 ports are watched, their devices missing, over 10 s",
                      "< 1 % of one core", fmt(percent(absent), 2) + " %", fmt(percent(absent), 2) + " %", "1",
                      verdict(!std::isnan(absent.cpuMs), percent(absent) < 1.0)});
    bench.report.add({"10c", "korvane-cli station: CPU while 16 adapters are watched with no tracker behind them, over 10 s",
                      "< 1 % of one core", fmt(percent(there), 2) + " %", fmt(percent(there), 2) + " %", "1",
                      verdict(!std::isnan(there.cpuMs), percent(there) < 1.0)});

    // 10d: memory per port watched: resident memory with sixteen adapters watched over one
    // watched, and the peak while sixteen trackers are written over one, each ÷ 15.
    const double idlePerPort = (there.rssKiB - one.rssKiB) / (kPorts - 1) / 1024.0;
    const double peakPerPort = (median(peakTogether) - median(peakAlone)) / (kPorts - 1) / 1024.0;
    bench.report.note(QStringLiteral("station memory: resident with 16 / 1 adapters watched %1 / %2 MiB; peak (VmHWM) "
                                     "writing 16 / 1 trackers (median) %3 / %4 MiB")
                          .arg(fmt(there.rssKiB / 1024.0, 1), fmt(one.rssKiB / 1024.0, 1),
                               fmt(median(peakTogether) / 1024.0, 1), fmt(median(peakAlone) / 1024.0, 1)));
    bench.report.add({"10d",
                      "korvane-cli station: memory per port, (16 ports − 1 port) ÷ 15: resident while watching / "
                      "peak while writing",
                      "≤ 2 MiB", QStringLiteral("%1 / %2 MiB").arg(fmt(idlePerPort, 2), fmt(peakPerPort, 2)), "-",
                      QString::number(peakTogether.size()),
                      verdict(!std::isnan(idlePerPort) && !std::isnan(peakPerPort),
                              idlePerPort <= 2.0 && peakPerPort <= 2.0)});
}
