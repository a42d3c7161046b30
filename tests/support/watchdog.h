#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Measures how long the event loop goes without running a 10 ms timer: the longest stall.
class LoopWatch : public QObject {
    Q_OBJECT
public:
    explicit LoopWatch(QObject* parent = nullptr) : QObject(parent)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            if (now - last_ > longest)
                longest = now - last_;
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    void reset() { longest = 0; last_ = clock_.elapsed(); }
    qint64 longest = 0;   // ms between two runs of the timer (10 when never stalled)

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
};

// Resident memory of this process, from /proc.
qint64 residentKiB();
