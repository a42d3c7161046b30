// korvane-bench: what the technician waits for, measured on the real window (Form2 with the real
// serial port and real message boxes) against the simulated tracker on a pseudo-terminal, headless.
// Prints one table: each figure as median and worst over repeated runs, against its goal.
//
//   korvane-bench [--out FILE] [--only 1,2,...] [--monitor-kib N] [--monitor-runs N]
//                 [--unbroken-kib N]
//
// --only picks figures by number (5 start-up, 8 parser, 1-4 and 6-7 on the window, 9 korvane-cli
// write and start-up); the monitor
// stream is 10 MiB and the stream without line ends 2 MiB (0 leaves it out), each three times.
//
// Everything runs on the GUI thread, as in the program: the simulator lives in this process on
// the master side of the pseudo-terminal, the window opens the slave side through the ports folder
// as COM4. Waiting is done by the event loop itself (no sleeps, no polling), so that the
// measurement does not delay the ticks it measures.
#include "bulk/dump_parser.h"
#include "bulk/profile.h"
#include "link/engine.h"
#include "link/port.h"
#include "pages/form2.h"
#include "pages/layout.h"
#include "sim/pty_tracker.h"
#include "support/pty.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr double kTickMs = 100.0;

qint64 nowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

double toMs(qint64 ns) { return double(ns) / 1e6; }

double cpuMsSelf()
{
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3
         + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double largest(const std::vector<double>& v)
{
    return v.empty() ? NAN : *std::max_element(v.begin(), v.end());
}

QString fmt(double v, int decimals)
{
    return std::isnan(v) ? QStringLiteral("-") : QString::number(v, 'f', decimals);
}

QString sizeText(qint64 bytes)
{
    if (bytes % (1 << 20) == 0)
        return QStringLiteral("%1 MiB").arg(bytes >> 20);
    return QStringLiteral("%1 KiB").arg(fmt(bytes / 1024.0, bytes % 1024 ? 1 : 0));
}

// ---- the event loop, measured -----------------------------------------------------------------

// Times every event that the loop delivers at its outermost level: the longest one is the longest
// time the window could not react (a stall). Also counts the events, to show what runs when idle.
class BenchApp : public QApplication {
public:
    using QApplication::QApplication;

    bool metering = false;
    qint64 longestNs = 0;
    QString longestWhat;
    int over50 = 0;
    std::vector<qint64> over10;         // every event longer than 10 ms, in order
    qint64 events = 0;
    QHash<QString, int> eventsByKind;   // while `countKinds`
    bool countKinds = false;

    void resetMeter()
    {
        longestNs = 0;
        longestWhat.clear();
        over50 = 0;
        over10.clear();
        events = 0;
        eventsByKind.clear();
    }

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        const bool outer = depth_++ == 0;
        // Taken before delivery: the receiver or the event may be gone afterwards.
        const int type = event->type();
        const char* cls = receiver->metaObject()->className();
        if (outer) {
            ++events;
            if (countKinds)
                ++eventsByKind[describe(type, cls)];
        }
        const qint64 t0 = outer && metering ? nowNs() : 0;
        const bool done = QApplication::notify(receiver, event);
        --depth_;
        if (t0) {
            const qint64 dt = nowNs() - t0;
            if (dt > longestNs) {
                longestNs = dt;
                longestWhat = describe(type, cls);
            }
            if (dt > 50'000'000)
                ++over50;
            if (dt > 10'000'000)
                over10.push_back(dt);
        }
        return done;
    }

private:
    static QString describe(int type, const char* cls)
    {
        const char* name = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
        return QStringLiteral("%1 to %2").arg(name ? QLatin1String(name) : QLatin1String("?"),
                                              QLatin1String(cls));
    }
    int depth_ = 0;
};

BenchApp* app() { return static_cast<BenchApp*>(qApp); }

// Runs the event loop until `done` holds or `timeoutMs` passed. The loop sleeps until an event comes.
bool spin(const std::function<bool()>& done, int timeoutMs)
{
    bool expired = false;
    QTimer guard;
    guard.setSingleShot(true);
    guard.setTimerType(Qt::PreciseTimer);
    QObject::connect(&guard, &QTimer::timeout, [&] { expired = true; });
    guard.start(timeoutMs);
    while (!done() && !expired)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

void pause(int ms) { spin([] { return false; }, ms); }

// ---- message boxes ----------------------------------------------------------------------------

// Notes each message box the moment it is shown (its QEvent::Show) and presses OK right after, from
// the box's own event loop, as a technician would (only sooner).
class BoxCatcher : public QObject {
public:
    struct Shown {
        qint64 at;
        QString text;
    };
    std::vector<Shown> shown;

    BoxCatcher() { qApp->installEventFilter(this); }
    ~BoxCatcher() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (!box)
            return false;
        shown.push_back({nowNs(), box->text()});
        QMetaObject::invokeMethod(box, [box] {
            if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                ok->click();
        }, Qt::QueuedConnection);
        return false;
    }
};

// ---- results ----------------------------------------------------------------------------------

struct Row {
    QString id;
    QString figure;
    QString goal;
    QString median;
    QString worst;
    QString runs;
    QString verdict;
};

// "not measured" when a run went wrong (a wrong box, no outcome in time): then no figure is claimed.
QString verdict(bool measured, bool met)
{
    if (!measured)
        return QStringLiteral("not measured");
    return met ? QStringLiteral("met") : QStringLiteral("**missed**");
}

struct Report {
    std::vector<Row> rows;
    QStringList details;
    void add(Row r) { rows.push_back(std::move(r)); }
    void note(const QString& line)
    {
        details << line;
        std::printf("  %s\n", qPrintable(line));
        std::fflush(stdout);
    }
};

// ---- a full parameter dump --------------------------------------------------------------------

void fillTracker(sim::Tracker& t)
{
    auto& p = t.params();
    for (int i = 0; i < 8; ++i)
        p.telephones->number[i] = QStringLiteral("1390013800%1").arg(i);
    auto& g = *p.gprs;
    g.apn = QStringLiteral("internet.example.net");
    g.apnUser = QStringLiteral("tracker");
    g.apnPassword = QStringLiteral("s3cret");
    g.serverIp = QStringLiteral("203.0.113.77");
    g.serverPort = QStringLiteral("7700");
    g.httpAddress = QStringLiteral("http://track.example.net/api");
    g.httpPort = QStringLiteral("8080");
    g.interval = QStringLiteral("045");
    g.intervalUnit = bulk::IntervalUnit::Min;
    auto& o = *p.other;
    o.overSpeedOn = true;
    o.overSpeed = QStringLiteral("120");
    o.lowBattery = QStringLiteral("30%");
    o.displacementOn = true;
    o.displacement = QStringLiteral("020");
    o.localHours = QStringLiteral("-05");
    o.localMinutes = QStringLiteral("30");
    o.shakeStep = QStringLiteral("3");
    o.password = QStringLiteral("246810");
    o.odometer = QStringLiteral("004321");
    p.port->armFunction = bulk::ArmFunction::Level;
    p.port->armLevel = bulk::Level::High;
    for (int i = 0; i < 5; ++i) {
        auto& f = p.fences->fence[i];
        f.on = i % 2 == 0;
        f.side = i % 3 == 0 ? bulk::FenceSide::Out : bulk::FenceSide::In;
        f.coordinate = QStringLiteral("22.5%1,114.0%1,300").arg(i);
    }
}

// ---- figure 8: the parser ---------------------------------------------------------------------

void benchParser(Report& report)
{
    std::printf("8. parser\n");
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
    report.note(QStringLiteral("parser: dump of %1 characters, %2 fields; first (cold) parse %3 µs; "
                               "runs of %4 parses")
                    .arg(dump.size()).arg(bulk::describe(check.params).size()).arg(fmt(coldUs, 1)).arg(kPerRun));
    report.add({"8", "parser: time to parse a full dump (mean of 1000 parses per run)", "< 50 µs",
                fmt(med, 1) + " µs", fmt(worst, 1) + " µs", QString::number(kRuns),
                verdict(valid, worst < 50)});
}

// ---- figure 5: start-up, in child processes ---------------------------------------------------

struct Child {
    bool ok = false;
    double shownMs = NAN;     // process start to the window's first frame
    double cpuMs = NAN;       // user + system CPU of the child, start to exit (it exits when shown)
    double peakRssMiB = NAN;  // ru_maxrss
    int widgets = 0;
};

Child runChild(const QString& program, const QStringList& args, int killAfterMs = -1)
{
    Child c;
    int out[2];
    if (::pipe(out) != 0)
        return c;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    QList<QByteArray> argBytes{QFile::encodeName(program)};
    for (const QString& a : args)
        argBytes << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const qint64 t0 = nowNs();
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return c;
    }
    if (killAfterMs >= 0) {
        timespec ts{killAfterMs / 1000, (killAfterMs % 1000) * 1000000L};
        while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
        }
        ::kill(pid, SIGTERM);
    }
    QByteArray text;
    char buf[256];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buf, int(n));
    }
    ::close(out[0]);
    int status = 0;
    rusage ru{};
    while (::wait4(pid, &status, 0, &ru) < 0 && errno == EINTR) {
    }
    c.cpuMs = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3
            + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
    c.peakRssMiB = ru.ru_maxrss / 1024.0;
    if (killAfterMs >= 0) {
        c.ok = WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
        return c;
    }
    const QList<QByteArray> words = text.trimmed().split(' ');
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && words.size() == 4 && words[0] == "shown") {
        c.shownMs = toMs(words[1].toLongLong() - t0);
        c.widgets = words[3].toInt();
        c.ok = true;
    }
    return c;
}

void benchStartup(Report& report)
{
    std::printf("5. start-up\n");
    // The window's controls by kind, counted on a real Form2; the baseline gets as many of each.
    QStringList counts;
    int formWidgets = 0, named = 0;
    int width = 0, height = 0;
    {
        Form2 form;
        const QList<QWidget*> all = form.findChildren<QWidget*>();
        formWidgets = int(all.size());
        QSet<QString> names;
        for (int i = 0; i < layout::kControlCount; ++i)
            names.insert(QLatin1String(layout::kControls[i].name));
        int k[8] = {};
        for (QWidget* w : all) {
            if (!names.contains(w->objectName()))
                continue;
            ++named;
            if (qobject_cast<QGroupBox*>(w)) ++k[0];
            else if (qobject_cast<QLabel*>(w)) ++k[1];
            else if (qobject_cast<QLineEdit*>(w)) ++k[2];
            else if (qobject_cast<QPlainTextEdit*>(w)) ++k[3];
            else if (qobject_cast<QComboBox*>(w)) ++k[4];
            else if (qobject_cast<QPushButton*>(w)) ++k[5];
            else if (qobject_cast<QCheckBox*>(w)) ++k[6];
            else if (qobject_cast<QRadioButton*>(w)) ++k[7];
        }
        width = form.width();
        height = form.height();
        counts << QString::number(width) << QString::number(height);
        for (int v : k)
            counts << QString::number(v);
    }
    const QString dir = QCoreApplication::applicationDirPath();
    const QString windowProbe = dir + QStringLiteral("/korvane-bench-window");
    const QString baselineProbe = dir + QStringLiteral("/korvane-bench-baseline");

    // One of each first, not counted: the page cache and the font cache are then warm for both.
    runChild(windowProbe, {});
    runChild(baselineProbe, counts);

    constexpr int kPairs = 20;
    std::vector<double> shown, cpu, rss, bShown, bCpu, bRss, cpuRatio, rssDiff;
    int baselineWidgets = 0;
    bool allOk = true;
    for (int i = 0; i < kPairs; ++i) {
        const Child w = runChild(windowProbe, {});
        const Child b = runChild(baselineProbe, counts);
        allOk = allOk && w.ok && b.ok;
        if (!w.ok || !b.ok)
            continue;
        shown.push_back(w.shownMs);
        cpu.push_back(w.cpuMs);
        rss.push_back(w.peakRssMiB);
        bShown.push_back(b.shownMs);
        bCpu.push_back(b.cpuMs);
        bRss.push_back(b.peakRssMiB);
        cpuRatio.push_back(w.cpuMs / b.cpuMs);
        rssDiff.push_back(w.peakRssMiB - b.peakRssMiB);
        baselineWidgets = b.widgets;
        formWidgets = w.widgets;
    }

    // The real program, as shipped: no probe, so no "shown" moment; it is left to start and settle
    // for a second, then ended, and its rusage tells its CPU and peak memory.
    std::vector<double> realCpu, realRss;
    for (int i = 0; i < 3; ++i) {
        const Child r = runChild(QStringLiteral(KORVANE_APP_PATH), {}, 1000);
        if (r.ok) {
            realCpu.push_back(r.cpuMs);
            realRss.push_back(r.peakRssMiB);
        }
    }

    const auto both = [](const std::vector<double>& v, const char* unit) {
        return QStringLiteral("%1 / %2 %3").arg(fmt(median(v), 1), fmt(largest(v), 1), QLatin1String(unit));
    };
    report.note(QStringLiteral("start-up: window %1 child widgets (%2 named controls), baseline %3 child "
                               "widgets, %4 x %5 px")
                    .arg(formWidgets).arg(named).arg(baselineWidgets).arg(width).arg(height));
    report.note(QStringLiteral("start-up, window (median / worst): shown %1, CPU %2, peak RSS %3")
                    .arg(both(shown, "ms"), both(cpu, "ms"), both(rss, "MiB")));
    report.note(QStringLiteral("start-up, baseline (median / worst): shown %1, CPU %2, peak RSS %3")
                    .arg(both(bShown, "ms"), both(bCpu, "ms"), both(bRss, "MiB")));
    report.note(QStringLiteral("start-up, the korvane binary itself, started and ended after 1 s (median / "
                               "worst of %1): CPU %2, peak RSS %3")
                    .arg(realCpu.size()).arg(both(realCpu, "ms"), both(realRss, "MiB")));

    const bool measured = allOk && !shown.empty();
    report.add({"5a", "start-up: process start to the window first shown", "< 150 ms",
                fmt(median(shown), 1) + " ms", fmt(largest(shown), 1) + " ms", QString::number(shown.size()),
                verdict(measured, largest(shown) < 150)});
    // The two comparisons are judged on the median pair: one pair alone is at the mercy of whatever
    // else the machine runs at that moment, and the worst pair is shown beside it.
    report.add({"5b", "start-up: CPU time to get there, window ÷ baseline (pairs run back to back)",
                "≤ 1.5× (median pair)",
                QStringLiteral("%1× (%2 vs %3 ms)").arg(fmt(median(cpuRatio), 2), fmt(median(cpu), 1),
                                                       fmt(median(bCpu), 1)),
                fmt(largest(cpuRatio), 2) + "×", QString::number(cpuRatio.size()),
                verdict(measured, median(cpuRatio) <= 1.5)});
    report.add({"5c", "start-up: peak resident memory, window − baseline", "≤ 8 MiB (median pair)",
                QStringLiteral("%1 MiB (%2 vs %3 MiB)").arg(fmt(median(rssDiff), 1), fmt(median(rss), 1),
                                                          fmt(median(bRss), 1)),
                fmt(largest(rssDiff), 1) + " MiB", QString::number(rssDiff.size()),
                verdict(measured, median(rssDiff) <= 8)});
}

// ---- figure 9: korvane-cli ----------------------------------------------------------------------

struct Ended {
    bool ok = false;
    double wallMs = NAN;   // spawn to exit
    double cpuMs = NAN;
};

// Starts a program with its output thrown away and waits for it to end.
Ended runToExit(const QString& program, const QStringList& args)
{
    Ended e;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QList<QByteArray> argBytes{QFile::encodeName(program)};
    for (const QString& a : args)
        argBytes << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const qint64 t0 = nowNs();
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return e;
    int status = 0;
    rusage ru{};
    while (::wait4(pid, &status, 0, &ru) < 0 && errno == EINTR) {
    }
    e.wallMs = toMs(nowNs() - t0);
    e.cpuMs = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
    e.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return e;
}

// 9a: a whole `korvane-cli write` of a full profile, process start to exit, against the simulator
// in this process (by its device path), over the commands the simulator heard.
void benchCliWrite(Report& report)
{
    std::printf("9a. korvane-cli write\n");
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
        cli.start(QStringLiteral(KORVANE_CLI_PATH), {QStringLiteral("write"), sim.slavePath(), file, QStringLiteral("--quiet")});
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
    report.note(QStringLiteral("korvane-cli write: Condor, full profile, %1 commands; median %2 ms, worst %3 ms")
                    .arg(commands).arg(fmt(median(ms), 1), fmt(largest(ms), 1)));
    report.add({"9a",
                QStringLiteral("korvane-cli write of a full profile (%1 commands), process start to exit, "
                               "time ÷ (commands × 100 ms)").arg(commands),
                "≤ 1.10", fmt(median(ratio), 3), fmt(largest(ratio), 3), QString::number(ratio.size()),
                verdict(valid && !ratio.empty(), largest(ratio) <= 1.10)});
}

// 9b: `korvane-cli --help` against a bare QCoreApplication program, run in pairs back to back.
void benchCliStartup(Report& report)
{
    std::printf("9b. korvane-cli start-up\n");
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
    report.note(QStringLiteral("korvane-cli --help (median / worst): %1 / %2 ms, CPU %3 ms; bare QCoreApplication: "
                               "%4 / %5 ms, CPU %6 ms")
                    .arg(fmt(median(cliMs), 1), fmt(largest(cliMs), 1), fmt(median(cliCpu), 1),
                         fmt(median(coreMs), 1), fmt(largest(coreMs), 1), fmt(median(coreCpu), 1)));
    report.add({"9b", "start-up: korvane-cli --help, start to exit, minus a bare QCoreApplication program",
                "≤ +20 ms (median pair)",
                QStringLiteral("%1 ms (%2 vs %3 ms)").arg(fmt(median(diff), 1), fmt(median(cliMs), 1), fmt(median(coreMs), 1)),
                fmt(largest(diff), 1) + " ms", QString::number(diff.size()),
                verdict(valid && !diff.empty(), median(diff) <= 20)});
}

// ---- the window against the simulator ---------------------------------------------------------

class Rig {
public:
    PortsFolder folder;
    sim::PtyTracker sim;
    std::unique_ptr<Form2> form;
    BoxCatcher boxes;
    bool up = false;

    Rig()
    {
        if (!sim.start() || !sim.linkAs(4))
            return;
        form = std::make_unique<Form2>();
        form->show();
        click("Command5");
        up = caption("Command5") == QLatin1String("CLOSE");
        pause(50);
    }
    ~Rig()
    {
        form.reset();
    }

    template <class T = QWidget>
    T* w(const char* name)
    {
        return form->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) { w<QAbstractButton>(name)->click(); }
    QString caption(const char* name) { return w<QAbstractButton>(name)->text(); }
    void type(const char* name, const QString& text)
    {
        QWidget* x = w(name);
        if (auto* e = qobject_cast<QLineEdit*>(x)) e->setText(text);
        else if (auto* c = qobject_cast<QComboBox*>(x)) c->setEditText(text);
        else if (auto* m = qobject_cast<QPlainTextEdit*>(x)) m->setPlainText(text);
    }
    QString text(const char* name)
    {
        QWidget* x = w(name);
        if (auto* e = qobject_cast<QLineEdit*>(x)) return e->text();
        if (auto* c = qobject_cast<QComboBox*>(x)) return c->currentText();
        if (auto* m = qobject_cast<QPlainTextEdit*>(x)) return m->toPlainText();
        return {};
    }
    bool idle()
    {
        return form->engine().code() == Code::Idle && !form->engine().timer().isActive()
            && !QApplication::activeModalWidget();
    }
    // The transaction started by a click is over and `count` boxes have been shown and answered.
    bool waitOutcome(size_t count, int timeoutMs)
    {
        return spin([&] { return boxes.shown.size() >= count && idle(); }, timeoutMs);
    }
    void reset()
    {
        sim.faults() = sim::Faults{};
        boxes.shown.clear();
    }
};

void benchReply(Rig& rig, Report& report)
{
    std::printf("1. reply-to-outcome\n");
    constexpr int kRuns = 20;
    rig.reset();
    rig.type("Text1", QStringLiteral("internet.example"));
    qint64 replyAt = 0;
    auto conn = QObject::connect(&rig.sim, &sim::PtyTracker::replied, [&] { replyAt = nowNs(); });
    std::vector<double> v;
    bool valid = true;
    for (int i = 0; i < kRuns; ++i) {
        rig.boxes.shown.clear();
        replyAt = 0;
        rig.click("Command10");
        const bool done = rig.waitOutcome(1, 3000);
        const auto& shown = rig.boxes.shown;
        if (!done || replyAt == 0 || shown.size() != 1 || shown[0].text != text::kSettingOk) {
            valid = false;
            continue;
        }
        v.push_back(toMs(rig.boxes.shown[0].at - replyAt));
        pause(20);
    }
    QObject::disconnect(conn);
    report.add({"1", "reply-to-outcome: last byte of \" OK!\" written → \"Setting OK!\" shown", "≤ 110 ms",
                fmt(median(v), 1) + " ms", fmt(largest(v), 1) + " ms", QString::number(v.size()),
                verdict(valid && !v.empty(), largest(v) <= kTickMs + 10)});
}

void benchTimeout(Rig& rig, Report& report)
{
    std::printf("2. timeout\n");
    constexpr int kRuns = 5;
    rig.reset();
    rig.sim.faults().silent = true;
    rig.type("Text1", QStringLiteral("internet.example"));
    std::vector<double> v;
    bool valid = true;
    for (int i = 0; i < kRuns; ++i) {
        rig.boxes.shown.clear();
        rig.click("Command10");
        const qint64 written = nowNs();   // the write is the handler's last step but starting the watcher
        const bool done = rig.waitOutcome(1, 4000);
        if (!done || rig.boxes.shown.size() != 1 || rig.boxes.shown[0].text != text::kOutTime) {
            valid = false;
            continue;
        }
        v.push_back(toMs(rig.boxes.shown[0].at - written));
        pause(20);
    }
    rig.sim.faults().silent = false;
    double worst = NAN;
    for (double x : v)
        if (std::isnan(worst) || std::fabs(x - 2100) > std::fabs(worst - 2100))
            worst = x;
    report.add({"2", "timeout: command written → \"Out-Time !\" shown", "2100 ± 30 ms",
                fmt(median(v), 1) + " ms", fmt(worst, 1) + " ms", QString::number(v.size()),
                verdict(valid && !v.empty(), std::fabs(worst - 2100) <= 30)});
}

void benchDump(Rig& rig, Report& report)
{
    std::printf("3. dump\n");
    constexpr int kRuns = 10;
    // The tracker sends its dump at line speed: 64 bytes every 5 ms is about 115200 baud.
    constexpr int kChunk = 64, kChunkGapMs = 5;
    rig.reset();
    fillTracker(rig.sim.tracker());
    rig.w<QRadioButton>("Option7")->click();   // Condor: every field of the dump is read
    rig.sim.faults().silent = true;            // the dump is sent below, chunk by chunk

    const auto& params = rig.sim.tracker().params();
    QByteArray pending;
    qint64 lastChunkAt = 0, filledAt = 0;
    int chunks = 0;
    QTimer pacer;
    pacer.setTimerType(Qt::PreciseTimer);
    pacer.setInterval(kChunkGapMs);
    auto sendChunk = [&] {
        rig.sim.send(pending.left(kChunk));
        pending.remove(0, kChunk);
        ++chunks;
        if (pending.isEmpty()) {
            lastChunkAt = nowNs();
            pacer.stop();
        }
    };
    QObject::connect(&pacer, &QTimer::timeout, sendChunk);
    auto heard = QObject::connect(&rig.sim, &sim::PtyTracker::commandReceived, [&](const QString& line) {
        if (line != QLatin1String("SETG"))
            return;
        pending = rig.sim.tracker().dump(true).toLatin1();
        chunks = 0;
        sendChunk();
        if (!pending.isEmpty())
            pacer.start();
    });
    // Runs after the window's own tick handler: the tick that leaves the engine idle after the
    // dump arrived is the one that filled the window.
    auto ticked = QObject::connect(&rig.form->engine().timer(), &QTimer::timeout, [&] {
        if (lastChunkAt && !filledAt && rig.form->engine().code() == Code::Idle)
            filledAt = nowNs();
    });

    std::vector<double> v;
    bool valid = true;
    int dumpSize = 0;
    for (int i = 0; i < kRuns; ++i) {
        rig.boxes.shown.clear();
        lastChunkAt = filledAt = 0;
        rig.click("Command8");
        const bool done = spin([&] { return filledAt != 0 && rig.idle(); }, 3000);
        dumpSize = int(rig.sim.tracker().dump(true).size());
        const bool filled = rig.text("Text1") == params.gprs->apn && rig.text("Text29") == params.telephones->number[7]
                         && rig.text("Text17") == params.other->password
                         && rig.text("Text4") == params.gprs->httpAddress;
        if (!done || !filled || !rig.boxes.shown.empty()) {
            std::fprintf(stderr, "korvane-bench: dump run %d: outcome %d, window filled %d, %d boxes\n", i,
                         done, filled, int(rig.boxes.shown.size()));
            valid = false;
            continue;
        }
        v.push_back(toMs(filledAt - lastChunkAt));
        pause(20);
    }
    QObject::disconnect(heard);
    QObject::disconnect(ticked);
    rig.sim.faults().silent = false;
    rig.w<QRadioButton>("Option6")->click();
    report.note(QStringLiteral("dump: %1 bytes in %2 chunks of %3 bytes, %4 ms apart")
                    .arg(dumpSize).arg(chunks).arg(kChunk).arg(kChunkGapMs));
    report.add({"3", "dump: last chunk of a full dump written → window filled", "≤ 310 ms",
                fmt(median(v), 1) + " ms", fmt(largest(v), 1) + " ms", QString::number(v.size()),
                verdict(valid && !v.empty(), largest(v) <= 3 * kTickMs + 10)});
}

void benchChains(Rig& rig, Report& report)
{
    std::printf("4. chains\n");
    constexpr int kRuns = 5;
    rig.reset();
    rig.sim.tracker().reset();
    // GPRS frame
    rig.type("Text1", QStringLiteral("apn.one"));
    rig.type("Text3", QStringLiteral("203.0.113.9"));
    rig.type("Text5", QStringLiteral("7700"));
    rig.type("Text19", QStringLiteral("user"));
    rig.type("Text20", QStringLiteral("secret"));
    rig.type("Text4", QStringLiteral("http://track.example/api"));
    rig.type("Text31", QStringLiteral("8080"));
    rig.type("Text21", QStringLiteral("060"));
    rig.w<QRadioButton>("Option1")->click();
    // Telephone frame
    const char* tels[] = {"Text6", "Text7", "Text8", "Text25", "Text26"};
    for (int i = 0; i < 5; ++i)
        rig.type(tels[i], QStringLiteral("1390000000%1").arg(i));
    // Other settings, with the password step
    rig.type("Combo3", QStringLiteral("30%"));
    rig.type("Text9", QStringLiteral("110"));
    rig.type("Text15", QStringLiteral("-05"));
    rig.type("Combo4", QStringLiteral("30"));
    rig.type("Text33", QStringLiteral("020"));
    rig.type("Text18", QStringLiteral("004321"));
    if (!rig.w<QCheckBox>("Check2")->isChecked())
        rig.w<QCheckBox>("Check2")->click();
    rig.type("Text17", QStringLiteral("246810"));

    int commands = 0;
    auto heard = QObject::connect(&rig.sim, &sim::PtyTracker::commandReceived, [&] { ++commands; });
    struct Chain {
        const char* name;
        const char* button;
        std::vector<double> ms;
        int commands = 0;
    };
    Chain chains[] = {{"GPRS", "Command2", {}},
                      {"telephone", "Command4", {}},
                      {"other settings", "Command1", {}}};
    std::vector<double> ratio;
    bool valid = true;
    for (int i = 0; i < kRuns; ++i) {
        double total = 0;
        int n = 0;
        for (Chain& c : chains) {
            rig.boxes.shown.clear();
            commands = 0;
            const qint64 t0 = nowNs();
            rig.click(c.button);
            const bool done = rig.waitOutcome(1, 5000);
            const auto& shown = rig.boxes.shown;
            if (!done || shown.size() != 1 || shown[0].text != text::kSettingOk) {
                valid = false;
                continue;
            }
            const double ms = toMs(rig.boxes.shown[0].at - t0);
            c.ms.push_back(ms);
            c.commands = commands;
            total += ms;
            n += commands;
            pause(20);
        }
        if (n > 0)
            ratio.push_back(total / (n * kTickMs));
    }
    QObject::disconnect(heard);
    QStringList parts;
    int n = 0;
    for (const Chain& c : chains) {
        parts << QStringLiteral("%1 %2 commands, median %3 ms (ratio %4)")
                     .arg(QLatin1String(c.name)).arg(c.commands).arg(fmt(median(c.ms), 1))
                     .arg(fmt(median(c.ms) / (c.commands * kTickMs), 3));
        n += c.commands;
    }
    report.note(QStringLiteral("chains: ") + parts.join(QStringLiteral("; ")));
    report.add({"4",
                QStringLiteral("chains: GPRS + telephone + other-settings WRITE (%1 commands), "
                               "time ÷ (commands × 100 ms)").arg(n),
                "≤ 1.10", fmt(median(ratio), 3), fmt(largest(ratio), 3), QString::number(ratio.size()),
                verdict(valid && !ratio.empty(), largest(ratio) <= 1.10)});
}

void benchIdle(Rig& rig, Report& report)
{
    std::printf("6. idle cost\n");
    constexpr int kRuns = 3;
    constexpr int kSeconds = 10;
    rig.reset();
    spin([&] { return rig.idle(); }, 3000);
    pause(500);
    std::vector<double> v;
    qint64 events = 0;
    bool valid = rig.form->port().isOpen();
    for (int i = 0; i < kRuns; ++i) {
        valid = valid && rig.idle();
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
    report.note(QStringLiteral("idle: port open, watcher %1, at most %2 events delivered in %3 s "
                               "(last run: %4)")
                    .arg(rig.form->engine().timer().isActive() ? "running" : "off").arg(events).arg(kSeconds)
                    .arg(kinds.isEmpty() ? QStringLiteral("none") : kinds.join(", ")));
    report.add({"6", "idle cost: CPU time of the process in 10 s, port open, no transaction", "< 10 ms",
                fmt(median(v), 2) + " ms", fmt(largest(v), 2) + " ms", QString::number(v.size()),
                verdict(valid && !v.empty(), largest(v) < 10)});
}

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

Stream streamIntoMonitor(Rig& rig, qint64 total, bool withLineEnds)
{
    constexpr int kChunk = 64;
    rig.reset();
    spin([&] { return rig.idle(); }, 3000);
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
    spin([&] { return rig.idle(); }, 5000);

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
        at << QStringLiteral("%1 %2 ms").arg(sizeText(total * kMarks[i] / 10)).arg(fmt(r.markMs[i], 0));
    const double perChunkUs = r.wallMs * 1000 / std::max<qint64>(1, r.chunks);
    return QStringLiteral("%1: %2 in %3 chunks%4: %5 (CPU %6 ms, %7 µs a chunk); longest event %8 ms (%9); "
                          "%10 events over 10 ms%11")
        .arg(what, sizeText(total))
        .arg(r.chunks)
        .arg(r.done ? QString() : QStringLiteral(" (cut short at 120 s)"))
        .arg(at.join(QStringLiteral(", ")), fmt(r.cpuMs, 0), fmt(perChunkUs, 0), fmt(r.longestMs, 1),
             r.longestWhat)
        .arg(r.over10)
        .arg(r.slowest.isEmpty() ? QString()
                                 : QStringLiteral(", the longest: ") + r.slowest.join(QStringLiteral(", ")));
}

// Linearity: time for four fifths over eight times the time for a tenth (1.00 when linear).
double linearity(const Stream& r)
{
    return r.done && r.markMs.size() >= 4 ? r.markMs[3] / (8 * r.markMs[0]) : NAN;
}

// Several streams of one kind, as two rows of the table: the times and their linearity, and the
// longest stall.
void monitorRows(Rig& rig, Report& report, const char* timeId, const char* stallId, const QString& kind,
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

void benchMonitor(Rig& rig, Report& report, int totalKiB, int runs, int unbrokenKiB)
{
    std::printf("7. monitor\n");
    monitorRows(rig, report, "7a", "7b", QStringLiteral("monitor"), qint64(totalKiB) << 10, runs, true);
    // A tracker that sends without line ends (garbage at a wrong speed, a binary dump): the same
    // goals, on a shorter stream.
    if (unbrokenKiB > 0)
        monitorRows(rig, report, "7c", "7d", QStringLiteral("monitor, text without line ends"),
                    qint64(unbrokenKiB) << 10, runs, false);
}

QtMessageHandler previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // The offscreen platform says this for every message box; it tells nothing about the program.
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    previousHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv)
{
    previousHandler = qInstallMessageHandler(quietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchApp application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane V2.1"));

    QString outPath;
    QSet<QString> only;
    int monitorKiB = 10 << 10;
    int monitorRuns = 3;
    int unbrokenKiB = 2048;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            outPath = args[++i];
        else if (args[i] == QLatin1String("--only") && i + 1 < args.size())
            for (const QString& s : args[++i].split(u','))
                only.insert(s.trimmed());
        else if (args[i] == QLatin1String("--monitor-kib") && i + 1 < args.size())
            monitorKiB = std::max(10, args[++i].toInt());
        else if (args[i] == QLatin1String("--monitor-runs") && i + 1 < args.size())
            monitorRuns = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--unbroken-kib") && i + 1 < args.size())
            unbrokenKiB = args[++i].toInt();
        else {
            std::fprintf(stderr, "usage: korvane-bench [--out FILE] [--only 1,2,...] [--monitor-kib N] "
                                 "[--monitor-runs N] [--unbroken-kib N]\n");
            return 2;
        }
    }
    auto wanted = [&](const char* id) { return only.isEmpty() || only.contains(QLatin1String(id)); };

    Report report;
    const qint64 started = nowNs();
    if (wanted("5"))
        benchStartup(report);
    if (wanted("8"))
        benchParser(report);
    if (wanted("9") || wanted("9a"))
        benchCliWrite(report);
    if (wanted("9") || wanted("9b"))
        benchCliStartup(report);
    if (wanted("1") || wanted("2") || wanted("3") || wanted("4") || wanted("6") || wanted("7")) {
        Rig rig;
        if (!rig.up) {
            std::fprintf(stderr, "korvane-bench: the window could not open COM4 on the simulator\n");
            return 1;
        }
        if (wanted("1")) benchReply(rig, report);
        if (wanted("2")) benchTimeout(rig, report);
        if (wanted("3")) benchDump(rig, report);
        if (wanted("4")) benchChains(rig, report);
        if (wanted("6")) benchIdle(rig, report);
        if (wanted("7")) benchMonitor(rig, report, monitorKiB, monitorRuns, unbrokenKiB);
    }

    std::sort(report.rows.begin(), report.rows.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
    QString table = QStringLiteral("| # | Figure | Goal | Median | Worst | Runs | Verdict |\n"
                                   "|---|---|---|---|---|---|---|\n");
    for (const Row& r : report.rows)
        table += QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 |\n")
                     .arg(r.id, r.figure, r.goal, r.median, r.worst, r.runs, r.verdict);
    QString details;
    for (const QString& d : report.details)
        details += QStringLiteral("- ") + d + u'\n';
    const QString footer = QStringLiteral("\n%1 CPU(s), Qt %2, QPA %3; whole run %4 s.\n")
                               .arg(QThread::idealThreadCount()).arg(QLatin1String(qVersion()))
                               .arg(QGuiApplication::platformName()).arg(fmt((nowNs() - started) / 1e9, 0));
    const QString out = table + u'\n' + details + footer;
    std::printf("\n%s", qPrintable(out));
    if (!outPath.isEmpty()) {
        QFile f(outPath);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(out.toUtf8());
    }
    return 0;
}
