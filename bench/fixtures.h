#pragma once
// What the figures measure against: the window on the real port against the simulated tracker
// (the tests' live-window fixture, with real message boxes caught as they show), and a tracker
// whose every parameter is set.
#include "support/live.h"

#include <QObject>
#include <QString>

#include <vector>

namespace sim {
class Tracker;
}

// Notes each message box the moment it is shown (its QEvent::Show) and presses OK right after, from
// the box's own event loop, as a technician would (only sooner).
class BoxCatcher : public QObject {
public:
    struct Shown {
        qint64 at;
        QString text;
    };
    std::vector<Shown> shown;

    BoxCatcher();
    ~BoxCatcher() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The window as the program builds it (its own serial port, real message boxes), shown, on COM4
// linked to the simulator.
class BenchWindow : public LiveWindow {
public:
    BoxCatcher boxes;

    bool open();   // "OPEN" pressed and the button says "CLOSE"

    void click(const char* name);
    void type(const char* name, const QString& text);
    QString text(const char* name) const;
    // No transaction, no watcher running and no box open.
    bool settled() const;
    // The transaction started by a click is over and `count` boxes have been shown and answered.
    bool waitOutcome(size_t count, int timeoutMs);
    void reset();   // no faults, no boxes noted

    // One click that ends in one box: when the click started and returned, and when the box showed
    // (0 when it did not, or said something other than `expected`).
    struct Outcome {
        qint64 pressed = 0;
        qint64 returned = 0;
        qint64 shown = 0;
    };
    Outcome clickForBox(const char* button, const QString& expected, int timeoutMs);
};

// Every parameter the dump carries set to a value of its full width.
void fillTracker(sim::Tracker& tracker);
