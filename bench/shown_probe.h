#pragma once
// Shared by the two start-up probes (the window and the bare baseline): waits for the first expose
// of the top-level window, lets it paint, then reports one line on stdout and ends the process at
// once, so that the parent's rusage of the child covers the start-up and nothing after it.
//
//   shown <CLOCK_MONOTONIC ns> widgets <count>
#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <ctime>
#include <unistd.h>

class ShownProbe : public QObject {
public:
    explicit ShownProbe(QWidget* window) : window_(window) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Expose || !watched->isWindowType())
            return false;
        auto* handle = static_cast<QWindow*>(watched);
        if (handle != window_->windowHandle() || !handle->isExposed())
            return false;
        // Deliver the expose ourselves: the window paints its first frame inside it.
        static_cast<QObject*>(handle)->event(event);   // QObject::event is public; virtual dispatch
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        const long long ns = static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
        std::printf("shown %lld widgets %lld\n", ns,
                    static_cast<long long>(window_->findChildren<QWidget*>().size()));
        std::fflush(stdout);
        ::_exit(0);
    }

private:
    QWidget* window_;
};
