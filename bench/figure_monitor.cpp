// 7: the receive monitor under a long stream of the tracker's debug output, with and without line
// ends: whether appending stays linear and how long the event loop is ever held up.
#include "figures.h"
#include "fixtures.h"
#include "harness.h"

#include "link/engine.h"

#include <algorithm>
#include <cmath>

namespace {

// One stream into the receive monitor: `total` bytes through the pseudo-terminal in 64-byte chunks.
struct Stream {
    bool done = false;
    std::vector<double> markMs;   // at a tenth, a fifth, two fifths, four fifths and all of it
    double wallMs = NAN;
    double cpuMs = NAN;
    qint64 chunks = 0;
    double longestMs = NAN;       // longest event delivered while it ran
    QString longestWhat;
    size_t over10 = 0;
    QStringList slowest;          // the longest events over 10 ms, longest first
};

const int kMarks[] = {1, 2, 4, 8, 10};   // tenths of the stream: 1, 2, 4, 8, 10 MiB of 10 MiB

Stream streamIntoMonitor(BenchWindow& rig, qint64 total, bool withLineEnds)
{
    constexpr int kChunk = 64;
    rig.reset();
    spin([&] { return rig.settled(); }, 3000);
    rig.form->engine().clearMonitor();

    // What a tracker's debug output looks like, cut into 64-byte chunks regardless of its lines;
    // or the same text with blanks where the line ends were.
    QByteArray text;
    for (int seq = 1; text.size() < (1 << 20) + kChunk; ++seq)
        text += "DBG " + QByteArray::number(seq).rightJustified(6, '0')
              + " GPS:V SAT:00 GSM:17 BAT:4.05V ACC:0 IN:00" + (withLineEnds ? "\r\n" : " ");

    Stream r;
    qint64 sent = 0, received = 0, t0 = 0;
    // Lockstep: the next chunk goes out once the window has taken the previous one, so every
    // notification of the port carries one chunk of 64 bytes.
    auto next = [&] {
        rig.sim.send(text.mid(int(sent % (1 << 20)), kChunk));
        sent += kChunk;
    };
    auto taken = QObject::connect(&rig.form->engine(), &Engine::monitorAppended, [&](const QString& chunk) {
        const qint64 before = received;
        received += chunk.size();
        ++r.chunks;
        for (int m : kMarks)
            if (before < total * m / 10 && received >= total * m / 10)
                r.markMs.push_back(toMs(nowNs() - t0));
        if (received >= sent && sent < total)
            next();
    });
    app()->resetMeter();
    app()->metering = true;
    const double c0 = cpuMsSelf();
    t0 = nowNs();
    next();
    r.done = spin([&] { return received >= total; }, 120000);
    r.wallMs = toMs(nowNs() - t0);
    r.cpuMs = cpuMsSelf() - c0;
    app()->metering = false;
    QObject::disconnect(taken);
    // A stream cut short by the time limit leaves its data in the pseudo-terminal: let it drain.
    spin([&] { return rig.settled(); }, 5000);

    r.longestMs = toMs(app()->longestNs);
    r.longestWhat = app()->longestWhat;
    std::vector<qint64> slow = app()->over10;
    std::sort(slow.begin(), slow.end(), std::greater<>());
    r.over10 = slow.size();
    for (size_t i = 0; i < slow.size() && i < 8; ++i)
        r.slowest << fmt(toMs(slow[i]), 1);
    return r;
}

QString describeStream(const QString& what, qint64 total, const Stream& r)
{
    QStringList at;
    for (size_t i = 0; i < r.markMs.size(); ++i)
        at << QStringLiteral("%1 %2 ms").arg(sizeText(total * kMarks[i] / 10), fmt(r.markMs[i], 0));
    const double perChunkUs = r.wallMs * 1000 / std::max<qint64>(1, r.chunks);
    return QStringLiteral("%1: %2 in %3 chunks%4: %5 (CPU %6 ms, %7 µs a chunk); longest event %8 ms (%9); "
                          "%10 events over 10 ms%11")
        .arg(what, sizeText(total), QString::number(r.chunks),
             r.done ? QString() : QStringLiteral(" (cut short at 120 s)"), at.join(QStringLiteral(", ")),
             fmt(r.cpuMs, 0), fmt(perChunkUs, 0), fmt(r.longestMs, 1), r.longestWhat)
        .arg(QString::number(r.over10),
             r.slowest.isEmpty() ? QString() : QStringLiteral(", the longest: ") + r.slowest.join(QStringLiteral(", ")));
}

// Linearity: time for four fifths over eight times the time for a tenth (1.00 when linear).
double linearity(const Stream& r)
{
    return r.done && r.markMs.size() >= 4 ? r.markMs[3] / (8 * r.markMs[0]) : NAN;
}

// Several streams of one kind, as two rows of the table: the times and their linearity, and the
// longest stall.
void monitorRows(BenchWindow& rig, Report& report, const char* timeId, const char* stallId, const QString& kind,
                 qint64 total, int runs, bool withLineEnds)
{
    std::vector<Stream> streams;
    for (int i = 0; i < runs; ++i) {
        streams.push_back(streamIntoMonitor(rig, total, withLineEnds));
        report.note(describeStream(QStringLiteral("%1, run %2").arg(kind).arg(i + 1), total, streams.back()));
    }
    std::vector<double> marks[4], ratio, stall;
    bool done = true;
    for (const Stream& r : streams) {
        done = done && r.done && r.markMs.size() == 5;
        for (size_t k = 0; k < 4 && k < r.markMs.size(); ++k)
            marks[k].push_back(r.markMs[k]);
        ratio.push_back(linearity(r));
        stall.push_back(r.longestMs);
    }
    // Linearity is judged on the median run: a quadratic cost gives 4 to 8 at these checkpoints, a
    // busy neighbour can push one short first tenth by a third. The worst run is shown beside it.
    double worstRatio = NAN;   // the run furthest from linear, either way
    for (double x : ratio)
        if (std::isnan(worstRatio) || std::fabs(std::log(x)) > std::fabs(std::log(worstRatio)))
            worstRatio = x;
    const QString sizes = QStringLiteral("%1 / %2 / %3 / %4")
                              .arg(sizeText(total / 10), sizeText(total / 5), sizeText(total * 2 / 5),
                                   sizeText(total * 4 / 5));
    report.add({timeId,
                QStringLiteral("%1: time to append %2 in 64-byte chunks (of a %3 stream)")
                    .arg(kind, sizes, sizeText(total)),
                "linear: t(8) ÷ 8·t(1) in 0.8–1.25 (median run)",
                QStringLiteral("%1 / %2 / %3 / %4 ms, ratio %5")
                    .arg(fmt(median(marks[0]), 0), fmt(median(marks[1]), 0), fmt(median(marks[2]), 0),
                         fmt(median(marks[3]), 0), fmt(median(ratio), 2)),
                QStringLiteral("ratio %1").arg(fmt(worstRatio, 2)), QString::number(streams.size()),
                verdict(done, median(ratio) >= 0.8 && median(ratio) <= 1.25)});
    report.add({stallId,
                QStringLiteral("%1: longest stall of the event loop while appending %2")
                    .arg(kind, sizeText(total)),
                "≤ 50 ms",
                fmt(median(stall), 1) + " ms", fmt(largest(stall), 1) + " ms", QString::number(stall.size()),
                verdict(done, largest(stall) <= 50)});
}

}  // namespace

void monitorFigure(Bench& bench)
{
    BenchWindow& rig = *bench.window;
    const Options& o = bench.options;
    monitorRows(rig, bench.report, "7a", "7b", QStringLiteral("monitor"), qint64(o.monitorKiB) << 10,
                o.monitorRuns, true);
    // A tracker that sends without line ends (garbage at a wrong speed, a binary dump): the same
    // goals, on a shorter stream.
    if (o.unbrokenKiB > 0)
        monitorRows(rig, bench.report, "7c", "7d", QStringLiteral("monitor, text without line ends"),
                    qint64(o.unbrokenKiB) << 10, o.monitorRuns, false);
}

