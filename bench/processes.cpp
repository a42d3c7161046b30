#include "processes.h"

#include "harness.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// posix_spawn's argument vector; the bytes live as long as the Spawn.
struct Spawn {
    QList<QByteArray> bytes;
    std::vector<char*> argv;

    Spawn(const QString& program, const QStringList& args) : bytes{QFile::encodeName(program)}
    {
        for (const QString& a : args)
            bytes << a.toLocal8Bit();
        for (QByteArray& a : bytes)
            argv.push_back(a.data());
        argv.push_back(nullptr);
    }
    pid_t start(posix_spawn_file_actions_t* actions)
    {
        pid_t pid = -1;
        const int rc = ::posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(actions);
        return rc == 0 ? pid : -1;
    }
};

rusage waitFor(pid_t pid, int& status)
{
    rusage ru{};
    while (::wait4(pid, &status, 0, &ru) < 0 && errno == EINTR) {
    }
    return ru;
}

}  // namespace

Child runChild(const QString& program, const QStringList& args, int killAfterMs)
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

    Spawn spawn(program, args);
    const qint64 t0 = nowNs();
    const pid_t pid = spawn.start(&actions);
    ::close(out[1]);
    if (pid < 0) {
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
    const rusage ru = waitFor(pid, status);
    c.cpuMs = cpuMs(ru);
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

Ended runToExit(const QString& program, const QStringList& args)
{
    Ended e;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Spawn spawn(program, args);
    const qint64 t0 = nowNs();
    const pid_t pid = spawn.start(&actions);
    if (pid < 0)
        return e;
    int status = 0;
    const rusage ru = waitFor(pid, status);
    e.wallMs = toMs(nowNs() - t0);
    e.cpuMs = cpuMs(ru);
    e.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return e;
}
