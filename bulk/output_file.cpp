#include "bulk/output_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace bulk {

namespace {

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The descriptor of this process that a path names (/dev/stdout, /dev/fd/63 from a shell's >(cmd),
// /proc/self/fd/3), or -1. Written through a copy of the descriptor itself: it keeps the shell's
// offset and append mode, and works where reopening cannot (a socket).
int descriptorNamed(const QString& path)
{
    if (path == QLatin1String("/dev/stdout"))
        return 1;
    if (path == QLatin1String("/dev/stderr"))
        return 2;
    static const QRegularExpression fd(QStringLiteral("^/(?:dev|proc/self)/fd/([0-9]{1,6})$"));
    const auto m = fd.match(path);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Why an open failed, in the user's terms where the system's are cryptic.
QString openFailure(int error, const struct stat& st)
{
    if (error == ENXIO && S_ISFIFO(st.st_mode))
        return QStringLiteral("no program is reading from it (a FIFO without a reader)");
    if (error == ENXIO && S_ISSOCK(st.st_mode))
        return QStringLiteral("no program is listening on it");
    if ((error == ECONNREFUSED || error == ENOENT) && S_ISSOCK(st.st_mode))
        return QStringLiteral("no program is listening on it");
    return systemError(error);
}

// A Unix socket is written into by connecting to it (open() refuses sockets).
int connectSocket(const QByteArray& native)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(native.size()) >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    for (const int type : {SOCK_STREAM, SOCK_DGRAM}) {
        const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return -1;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        const int error = errno;
        ::close(fd);
        if (error != EPROTOTYPE) {
            errno = error;
            return -1;
        }
    }
    return -1;
}

// An open descriptor for writing into what `path` names, without waiting; -1 with errno when there
// is none. *shared: a copy of one of this process's descriptors, whose flags belong to others too.
int openDirect(const QString& path, int flags, bool* shared)
{
    *shared = false;
    if (const int named = descriptorNamed(path); named >= 0) {
        *shared = true;
        return ::fcntl(named, F_DUPFD_CLOEXEC, 0);
    }
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0 && S_ISSOCK(st.st_mode))
        return connectSocket(native);
    return ::open(native.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | flags, 0644);
}

// All of `bytes` through `fd`, however many writes it takes.
bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Waits up to two seconds for the file's lock: another process holds it only while it appends
// one line.
bool lockForAppend(int fd)
{
    for (int tries = 0; tries < 2000; ++tries) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        const timespec millisecond{0, 1'000'000};
        ::nanosleep(&millisecond, nullptr);
    }
    return false;
}

// Whether the file's last byte (of `size`) is a line end; the record is opened for writing only,
// so it is read through a second descriptor. One that cannot be read is taken to end in one.
bool endsALine(const QString& path, off_t size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    char last = '\n';
    if (fd >= 0) {
        if (::pread(fd, &last, 1, size - 1) != 1)
            last = '\n';
        ::close(fd);
    }
    return last == '\n';
}

}  // namespace

QString writableFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("cannot be written: it is a folder");
    // A device, a FIFO, a socket or a descriptor of this process: written into, its folder untouched.
    struct stat st {};
    if (descriptorNamed(path) >= 0
        || (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode))) {
        return ::access(QFile::encodeName(path).constData(), W_OK) == 0 || descriptorNamed(path) >= 0
                   ? QString()
                   : QStringLiteral("cannot be written: %1").arg(systemError(errno));
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("cannot be written: the folder %1 does not exist").arg(folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("cannot be written: the folder %1 is read-only").arg(folder.filePath());
    if (info.exists() && !info.isWritable())
        return QStringLiteral("cannot be written: the file is read-only");
    return {};
}

QString writeWhole(const QString& path, const QByteArray& bytes)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    const bool exists = ::stat(native.constData(), &st) == 0;
    if (descriptorNamed(path) >= 0 || (exists && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))) {
        bool shared = false;
        const int fd = openDirect(path, 0, &shared);
        if (fd < 0)
            return QStringLiteral("cannot be written: %1").arg(openFailure(errno, st));
        // Opened without waiting; from here a slow reader is waited for, as any writer waits.
        if (!shared)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        const bool written = writeAll(fd, bytes);
        const int writeError = errno;
        const bool closed = ::close(fd) == 0 || errno == EINTR;
        if (!written)
            return QStringLiteral("cannot be written: %1").arg(systemError(writeError));
        if (!closed)
            return QStringLiteral("cannot be written: %1").arg(systemError(errno));
        return {};
    }
    // Unbuffered: a buffered QSaveFile whose flush fails (a full disk) still renames the empty file
    // over the old one on commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("cannot be written: %1").arg(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return QStringLiteral("cannot be written: %1; the old file is kept").arg(why);
    }
    if (!file.commit())
        return QStringLiteral("cannot be written: %1; the old file is kept").arg(file.errorString());
    return {};
}

QString appendLine(const QString& path, const QByteArray& line)
{
    if (descriptorNamed(path) < 0 && !QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("cannot be written: its folder cannot be made");
    bool shared = false;
    const int fd = openDirect(path, O_APPEND | O_CREAT, &shared);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return QStringLiteral("cannot be written: %1").arg(openFailure(error, st));
    }
    struct stat st {};
    const bool regular = !shared && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    QByteArray bytes = line;
    off_t start = 0;
    QString problem;
    // O_APPEND puts every write at the end as one step; the lock keeps the look at the last byte,
    // the write and a cut-back after a short write together, away from another process's line.
    if (regular && !lockForAppend(fd)) {
        problem = QStringLiteral("another program keeps it locked");
    } else if (regular && ::fstat(fd, &st) == 0) {
        start = st.st_size;
        if (start > 0 && !endsALine(path, start))
            bytes.prepend('\n');
    }
    if (problem.isEmpty()) {
        ssize_t n = -1;
        do
            n = ::write(fd, bytes.constData(), size_t(bytes.size()));
        while (n < 0 && errno == EINTR);
        const int error = errno;
        if (n != ssize_t(bytes.size())) {
            // Part of a line would glue the next one onto it: the file goes back to where it was.
            if (regular && n > 0 && ::ftruncate(fd, start) != 0)
                problem = QStringLiteral("%1 bytes of a line are left in it").arg(n);
            else if (n >= 0 || error == ENOSPC)
                problem = QStringLiteral("the disk is full");
            else if (error == EAGAIN)
                problem = QStringLiteral("its reader takes nothing now");
            else
                problem = systemError(error);
        }
    }
    const bool closed = ::close(fd) == 0 || errno == EINTR;
    if (!problem.isEmpty())
        return QStringLiteral("cannot be written: %1").arg(problem);
    if (!closed)
        return QStringLiteral("may be incomplete: closing it failed");
    return {};
}

}  // namespace bulk
