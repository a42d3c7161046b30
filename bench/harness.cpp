// korvane-bench: what the technician waits for, measured on the real window (Form2 with the real
// serial port and real message boxes) against the simulated tracker on a pseudo-terminal, headless.
// Prints one table: each figure as median and worst over repeated runs, against its goal.
//
//   korvane-bench [--out FILE] [--only 1,2,...] [--monitor-kib N] [--monitor-runs N]
//                 [--unbroken-kib N]
//
// --only picks figures by number (5 start-up, 8 parser, 1-4 and 6-7 on the window, 9 korvane-cli
// write and start-up, 10 korvane-cli station); the monitor
// stream is 10 MiB and the stream without line ends 2 MiB (0 leaves it out), each three times.
//
// Everything runs on the GUI thread, as in the program: the simulator lives in this process on
// the master side of the pseudo-terminal, the window opens the slave side through the ports folder
// as COM4. Waiting is done by the event loop itself (no sleeps, no polling), so that the
// measurement does not delay the ticks it measures.
#include "harness.h"

#include "figures.h"
#include "fixtures.h"

#include <QFile>
#include <QMetaEnum>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

qint64 nowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

double cpuMs(const rusage& ru)
{
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

double cpuMsSelf()
{
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return cpuMs(ru);
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

void BenchApp::resetMeter()
{
    longestNs = 0;
    longestWhat.clear();
    over50 = 0;
    over10.clear();
    events = 0;
    eventsByKind.clear();
}

bool BenchApp::notify(QObject* receiver, QEvent* event)
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

QString BenchApp::describe(int type, const char* cls)
{
    const char* name = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
    return QStringLiteral("%1 to %2").arg(name ? QLatin1String(name) : QLatin1String("?"), QLatin1String(cls));
}

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

QString verdict(bool measured, bool met)
{
    if (!measured)
        return QStringLiteral("not measured");
    return met ? QStringLiteral("met") : QStringLiteral("**missed**");
}

void Report::note(const QString& line)
{
    details << line;
    std::printf("  %s\n", qPrintable(line));
    std::fflush(stdout);
}

namespace {

// The figures in the order they run: those in their own processes or without a window first, then
// those on the one window that stays open for all of them. `--only` names a figure by any of its
// numbers.
struct Figure {
    QStringList numbers;
    const char* title;   // printed as "<first number>. <title>" when it starts
    bool onWindow;
    void (*run)(Bench&);
};

const Figure kFigures[] = {
    {{"5"}, "start-up", false, startupFigure},
    {{"8"}, "parser", false, parserFigure},
    {{"9a", "9"}, "korvane-cli write", false, cliWriteFigure},
    {{"9b", "9"}, "korvane-cli start-up", false, cliStartupFigure},
    {{"9c", "9"}, "korvane-cli writes in parallel", false, cliParallelFigure},
    {{"10a", "10b", "10c", "10d", "10"}, "korvane-cli station", false, stationFigure},
    {{"1"}, "reply-to-outcome", true, replyFigure},
    {{"2"}, "timeout", true, timeoutFigure},
    {{"3"}, "dump", true, dumpFigure},
    {{"4"}, "chains", true, chainsFigure},
    {{"4b", "4"}, "Write All", true, writeAllFigure},
    {{"6"}, "idle cost", true, idleFigure},
    {{"7"}, "monitor", true, monitorFigure},
};

QtMessageHandler previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // The offscreen platform says this for every message box; it tells nothing about the program.
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    previousHandler(type, context, message);
}

// The BENCHMARKS.md table, sorted by number, the detail lines and the machine.
QString tableOf(Report& report, qint64 started)
{
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
                               .arg(QString::number(QThread::idealThreadCount()), QLatin1String(qVersion()),
                                    QGuiApplication::platformName(), fmt((nowNs() - started) / 1e9, 0));
    return table + u'\n' + details + footer;
}

}  // namespace

int main(int argc, char** argv)
{
    previousHandler = qInstallMessageHandler(quietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchApp application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane V2.1"));

    Bench bench;
    QString outPath;
    QSet<QString> only;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            outPath = args[++i];
        else if (args[i] == QLatin1String("--only") && i + 1 < args.size())
            for (const QString& s : args[++i].split(u','))
                only.insert(s.trimmed());
        else if (args[i] == QLatin1String("--monitor-kib") && i + 1 < args.size())
            bench.options.monitorKiB = std::max(10, args[++i].toInt());
        else if (args[i] == QLatin1String("--monitor-runs") && i + 1 < args.size())
            bench.options.monitorRuns = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--unbroken-kib") && i + 1 < args.size())
            bench.options.unbrokenKiB = args[++i].toInt();
        else {
            std::fprintf(stderr, "usage: korvane-bench [--out FILE] [--only 1,2,...] [--monitor-kib N] "
                                 "[--monitor-runs N] [--unbroken-kib N]\n");
            return 2;
        }
    }

    const qint64 started = nowNs();
    std::unique_ptr<BenchWindow> window;
    for (const Figure& figure : kFigures) {
        if (!only.isEmpty() && !only.intersects(QSet<QString>(figure.numbers.begin(), figure.numbers.end())))
            continue;
        if (figure.onWindow && !window) {
            window = std::make_unique<BenchWindow>();
            if (!window->open()) {
                std::fprintf(stderr, "korvane-bench: the window could not open COM4 on the simulator\n");
                return 1;
            }
            bench.window = window.get();
        }
        std::printf("%s. %s\n", qPrintable(figure.numbers.first()), figure.title);
        figure.run(bench);
    }
    window.reset();

    const QString out = tableOf(bench.report, started);
    std::printf("\n%s", qPrintable(out));
    if (!outPath.isEmpty()) {
        QFile f(outPath);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(out.toUtf8());
    }
    return 0;
}
