// korvane-cli: the window's read, write and reset without a display, for scripts and for writing
// one profile to many trackers. The work is in app/cli_tool.cpp.
#include "app/cli_tool.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
std::function<void(int)> signalHandler;   // the run's, while it runs
// Set once the run takes signals through its event loop. Before that the program may wait in a
// call that never returns to the loop (a profile read from a terminal or from a FIFO nobody writes
// into); nothing has been sent then, and a signal ends the program at once.
volatile sig_atomic_t signalsServed = 0;

void onSignal(int signal)
{
    if (!signalsServed) {
        static const char said[] = "korvane-cli: interrupted before the port was opened (nothing was sent)\n";
        (void)!::write(2, said, sizeof said - 1);
        ::_exit(128 + signal);
    }
    const char c = char(signal);
    const int saved = errno;
    (void)!::write(signalPipe[1], &c, 1);
    errno = saved;
}

// A standard stream that was closed when the program started: a device opened later (the serial
// port) would get its number and receive what was meant for it. /dev/null takes the place.
bool occupyIfClosed(int fd, int flags)
{
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return false;
    const int null = ::open("/dev/null", flags | O_CLOEXEC);
    if (null >= 0 && null != fd) {
        ::dup2(null, fd);
        ::close(null);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool inClosed = occupyIfClosed(0, O_RDONLY);
    const bool outClosed = occupyIfClosed(1, O_WRONLY);
    occupyIfClosed(2, O_WRONLY);
    // A reader that went away (korvane-cli read COM4 | head) is a failed write, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-cli"));

    cli::Streams streams;
    streams.outClosed = outClosed;
    streams.out = [](const QByteArray& bytes) {
        const size_t n = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        return n == size_t(bytes.size()) && std::fflush(stdout) == 0 && !std::ferror(stdout);
    };
    streams.err = [](const QString& line) {
        std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    };
    streams.in = [inClosed](qint64 max, bool* ok) {
        QByteArray bytes;
        *ok = !inClosed;
        char buffer[65536];
        while (*ok && bytes.size() < max) {
            const ssize_t n = ::read(0, buffer, sizeof buffer);
            if (n == 0)
                break;
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                *ok = false;
            else
                bytes.append(buffer, qsizetype(n));
        }
        return bytes;
    };

    // Signals only write a byte; the handler runs from the event loop, where the session can say
    // what was written, release the port and its lock, and return.
    QSocketNotifier* notifier = nullptr;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
            char c = 0;
            while (::read(signalPipe[0], &c, 1) > 0)
                if (signalHandler)
                    signalHandler(int(c));
        });
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        // SIGHUP: the terminal or the SSH session went away in the middle of a write.
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            ::sigaction(signal, &sa, nullptr);
        streams.onSignal = [](std::function<void(int)> h) {
            signalHandler = std::move(h);
            signalsServed = 1;
        };
    }
    const int status = cli::run(app.arguments().mid(1), streams);
    signalHandler = nullptr;
    return status;
}
