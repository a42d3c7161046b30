#pragma once
// The harness of korvane-bench: the clock, medians and worst values, the event loop measured and
// waited on, and the report each figure adds its rows and details to. The figures themselves are
// one function each (figures.h), run by main() in harness.cpp.
#include <QApplication>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <sys/resource.h>
#include <vector>

class BenchWindow;

constexpr double kTickMs = 100.0;   // the watcher's tick, the pace the tracker's replies are judged at

// ---- clock and statistics ---------------------------------------------------------------------

qint64 nowNs();   // CLOCK_MONOTONIC
inline double toMs(qint64 ns) { return double(ns) / 1e6; }
double cpuMs(const rusage& ru);   // user + system
double cpuMsSelf();
double median(std::vector<double> v);
double largest(const std::vector<double>& v);
QString fmt(double v, int decimals);   // "-" for NAN
QString sizeText(qint64 bytes);        // "10 MiB", "204.8 KiB"

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

    void resetMeter();
    bool notify(QObject* receiver, QEvent* event) override;

private:
    static QString describe(int type, const char* cls);
    int depth_ = 0;
};

inline BenchApp* app() { return static_cast<BenchApp*>(qApp); }

// Runs the event loop until `done` holds or `timeoutMs` passed. The loop sleeps until an event comes.
bool spin(const std::function<bool()>& done, int timeoutMs);
inline void pause(int ms) { spin([] { return false; }, ms); }

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
QString verdict(bool measured, bool met);

struct Report {
    std::vector<Row> rows;
    QStringList details;
    void add(Row r) { rows.push_back(std::move(r)); }
    void note(const QString& line);   // a detail line, printed at once and listed under the table
};

// ---- what a figure is given -------------------------------------------------------------------

struct Options {
    int monitorKiB = 10 << 10;   // --monitor-kib
    int monitorRuns = 3;         // --monitor-runs
    int unbrokenKiB = 2048;      // --unbroken-kib (0 leaves that stream out)
};

struct Bench {
    Report report;
    Options options;
    BenchWindow* window = nullptr;   // open for the figures that need it
};
