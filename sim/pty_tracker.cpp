#include "sim/pty_tracker.h"

#include "link/port_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

QString errnoText(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

QString readLinkText(const QString& path)
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buf, sizeof buf - 1);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(buf, int(n)));
}

// Input this long without a line end is no command; drop it rather than let the buffer grow.
constexpr int kMaxLine = 64 * 1024;

}  // namespace

PtyTracker::PtyTracker(QObject* parent) : QObject(parent)
{
    chunkTimer_.setSingleShot(true);
    connect(&chunkTimer_, &QTimer::timeout, this, &PtyTracker::sendNextChunk);
    floodTimer_.setInterval(10);
    connect(&floodTimer_, &QTimer::timeout, this, &PtyTracker::floodTick);
}

PtyTracker::~PtyTracker()
{
    hangUp();
    unlink();
}

bool PtyTracker::isUp() const { return masterFd_ >= 0; }

QString PtyTracker::slavePath() const { return slavePath_; }

bool PtyTracker::start(QString* error)
{
    if (isUp())
        return true;
    const auto fail = [&](const QString& why, int m, int s) {
        if (error)
            *error = why;
        if (s >= 0)
            ::close(s);
        if (m >= 0)
            ::close(m);
        return false;
    };

    const int m = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m < 0)
        return fail(errnoText("posix_openpt"), -1, -1);
    ::fcntl(m, F_SETFD, FD_CLOEXEC);
    if (::grantpt(m) != 0 || ::unlockpt(m) != 0)
        return fail(errnoText("grantpt/unlockpt"), m, -1);
    char name[128];
    if (::ptsname_r(m, name, sizeof name) != 0)
        return fail(errnoText("ptsname"), m, -1);

    // Our own slave descriptor keeps the line alive while the program opens and closes it: without
    // it the master would read EIO after each close on the other side.
    const int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0)
        return fail(errnoText("open slave"), m, -1);
    termios t{};
    if (::tcgetattr(s, &t) != 0)
        return fail(errnoText("tcgetattr"), m, s);
    // Raw at once, so that nothing is echoed or translated before the program sets its own mode.
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    t.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(s, TCSANOW, &t) != 0)
        return fail(errnoText("tcsetattr"), m, s);
    const int flags = ::fcntl(m, F_GETFL);
    if (flags < 0 || ::fcntl(m, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail(errnoText("fcntl O_NONBLOCK"), m, s);

    const QString previousSlave = slavePath_;
    masterFd_ = m;
    slaveFd_ = s;
    slavePath_ = QString::fromLocal8Bit(name);
    inBuffer_.clear();
    outPending_.clear();
    commandCount_ = 0;

    readNotifier_ = new QSocketNotifier(m, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &PtyTracker::onReadable);
    writeNotifier_ = new QSocketNotifier(m, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &PtyTracker::onWritable);

    // The device comes back under the same COM number: move our link to the new line.
    if (!linkPath_.isEmpty()) {
        QString why;
        if (!makeLink(linkPath_, previousSlave, &why)) {
            linkPath_.clear();
            if (error)
                *error = why;
        }
    }
    return true;
}

void PtyTracker::hangUp()
{
    if (masterFd_ < 0)
        return;
    stopFlood();
    chunkTimer_.stop();
    chunks_.clear();
    outPending_.clear();
    inBuffer_.clear();
    for (QSocketNotifier* n : {readNotifier_, writeNotifier_}) {
        // May run inside the notifier's own signal: let the event loop delete it.
        n->setEnabled(false);
        n->deleteLater();
    }
    readNotifier_ = writeNotifier_ = nullptr;
    ::close(masterFd_);
    ::close(slaveFd_);
    masterFd_ = slaveFd_ = -1;
    if (unlinkWhileDown_ && !linkPath_.isEmpty() && readLinkText(linkPath_) == slavePath_)
        ::unlink(QFile::encodeName(linkPath_).constData());
    emit hungUp();
}

void PtyTracker::replace(const Tracker& tracker)
{
    tracker_ = tracker;
    stopFlood();
    chunkTimer_.stop();
    chunks_.clear();
    outPending_.clear();
    inBuffer_.clear();
    if (writeNotifier_)
        writeNotifier_->setEnabled(false);
    commandCount_ = 0;
}

bool PtyTracker::linkAs(int com, QString* error)
{
    return linkAt(ports::entryPath(com), error);
}

bool PtyTracker::linkAt(const QString& entry, QString* error)
{
    if (!isUp()) {
        if (error)
            *error = QStringLiteral("no pseudo-terminal to link: start() first");
        return false;
    }
    const QString folder = QFileInfo(entry).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    if (!linkPath_.isEmpty() && linkPath_ != entry)
        unlink();                     // one link at a time
    if (!makeLink(entry, QString(), error))
        return false;
    linkPath_ = entry;
    return true;
}

bool PtyTracker::makeLink(const QString& entry, const QString& alsoOurs, QString* error)
{
    const QByteArray path = QFile::encodeName(entry);
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            if (error)
                *error = QStringLiteral("%1 exists and is not a link; not replaced").arg(entry);
            return false;
        }
        const QString target = readLinkText(entry);
        if (target == slavePath_)
            return true;
        struct stat tst {};
        const bool dangling = ::stat(path.constData(), &tst) != 0;
        // Only a link to nothing (a pty that is gone) or to our own previous line may be replaced;
        // a link to a live device belongs to someone else.
        if (!dangling && (alsoOurs.isEmpty() || target != alsoOurs)) {
            if (error)
                *error = QStringLiteral("%1 points to %2, which exists; not replaced").arg(entry, target);
            return false;
        }
        if (::unlink(path.constData()) != 0) {
            if (error)
                *error = errnoText("unlink");
            return false;
        }
    }
    if (::symlink(QFile::encodeName(slavePath_).constData(), path.constData()) != 0) {
        if (error)
            *error = errnoText("symlink");
        return false;
    }
    return true;
}

void PtyTracker::unlink()
{
    if (linkPath_.isEmpty())
        return;
    // Someone may have pointed the entry elsewhere meanwhile; that link is not ours to remove.
    if (readLinkText(linkPath_) == slavePath_)
        ::unlink(QFile::encodeName(linkPath_).constData());
    linkPath_.clear();
}

void PtyTracker::onReadable()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(masterFd_, buf, sizeof buf);
        if (n > 0) {
            inBuffer_.append(buf, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // EOF or EIO: cannot happen while our slave descriptor is open; stop listening rather
        // than spin on a notifier that stays readable.
        readNotifier_->setEnabled(false);
        break;
    }
    int nl;
    while (masterFd_ >= 0 && (nl = inBuffer_.indexOf('\n')) >= 0) {
        QByteArray line = inBuffer_.left(nl);
        inBuffer_.remove(0, nl + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        handleLine(line);
    }
    if (inBuffer_.size() > kMaxLine)
        inBuffer_.clear();
}

void PtyTracker::handleLine(const QByteArray& raw)
{
    const QString line = QString::fromLatin1(raw);
    received_.append(line);
    ++commandCount_;
    emit commandReceived(line);
    if (!isUp())
        return;                       // a listener hung up
    if (faults_.hangUpAfter >= 0 && commandCount_ > faults_.hangUpAfter) {
        hangUp();
        return;
    }
    if (faults_.silent)
        return;                       // a mute device: it neither answers nor takes the command

    QString reply = !faults_.failOn.isEmpty() && line.startsWith(faults_.failOn)
        ? QStringLiteral("ERROR!")
        : tracker_.handle(line);
    if (reply.isEmpty())
        return;
    if (faults_.crlf)
        reply += QStringLiteral("\r\n");
    QByteArray bytes = reply.toLatin1();
    if (faults_.garbage)
        bytes.prepend(QByteArray("\0\xFF\r", 3));
    emit replied(QString::fromLatin1(bytes));
    queueReply(bytes);
}

void PtyTracker::queueReply(const QByteArray& bytes)
{
    const int size = faults_.chunkSize;
    if (size <= 0) {
        writeOrQueue(bytes);
        return;
    }
    for (int i = 0; i < bytes.size(); i += size)
        chunks_.append(bytes.mid(i, size));
    if (!chunkTimer_.isActive())
        sendNextChunk();
}

void PtyTracker::sendNextChunk()
{
    if (chunks_.isEmpty())
        return;
    writeOrQueue(chunks_.takeFirst());
    if (!chunks_.isEmpty())
        chunkTimer_.start(qMax(0, faults_.chunkDelayMs));
}

void PtyTracker::send(const QByteArray& raw) { writeOrQueue(raw); }

void PtyTracker::writeOrQueue(const QByteArray& bytes)
{
    if (masterFd_ < 0 || bytes.isEmpty())
        return;
    if (!outPending_.isEmpty()) {     // keep the order behind what is already waiting
        outPending_ += bytes;
        return;
    }
    ssize_t n;
    do
        n = ::write(masterFd_, bytes.constData(), size_t(bytes.size()));
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return;                   // the line is broken; nothing to keep it for
        n = 0;
    }
    if (n < bytes.size()) {
        outPending_ = bytes.mid(int(n));
        writeNotifier_->setEnabled(true);
    }
}

void PtyTracker::onWritable()
{
    if (masterFd_ < 0)
        return;
    ssize_t n;
    do
        n = ::write(masterFd_, outPending_.constData(), size_t(outPending_.size()));
    while (n < 0 && errno == EINTR);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
        outPending_.clear();
    else if (n > 0)
        outPending_.remove(0, int(n));
    if (outPending_.isEmpty())
        writeNotifier_->setEnabled(false);
}

void PtyTracker::startFlood(int bytesPerSecond)
{
    floodRate_ = qMax(1, bytesPerSecond);
    floodDue_ = 0;
    floodClock_.start();
    floodTimer_.start();
}

void PtyTracker::stopFlood()
{
    floodTimer_.stop();
    floodLine_.clear();
}

void PtyTracker::floodTick()
{
    if (masterFd_ < 0)
        return;
    const qint64 target = floodClock_.elapsed() * floodRate_ / 1000;
    qint64 n = target - floodDue_;
    if (n <= 0)
        return;
    // After a stall (a modal dialog in the test's own thread, say) do not burst to catch up.
    if (n > floodRate_ / 10 + 64) {
        floodDue_ = target - (floodRate_ / 10 + 64);
        n = floodRate_ / 10 + 64;
    }
    floodDue_ += n;
    QByteArray data;
    data.reserve(int(n));
    while (data.size() < n) {
        if (floodLine_.isEmpty())
            floodLine_ = "DBG " + QByteArray::number(++floodSeq_).rightJustified(6, '0')
                       + " GPS:V SAT:00 GSM:17 BAT:4.05V ACC:0 IN:00\r\n";
        const int take = int(qMin<qint64>(n - data.size(), floodLine_.size()));
        data += floodLine_.left(take);
        floodLine_.remove(0, take);
    }
    // A reply waiting for room goes first and whole; a flood may lose bytes, a reply may not.
    if (!outPending_.isEmpty())
        return;
    ssize_t w;
    do
        w = ::write(masterFd_, data.constData(), size_t(data.size()));
    while (w < 0 && errno == EINTR);
    // Whatever the line could not take (EAGAIN, short write) is dropped, as on a real UART.
}

}  // namespace sim
