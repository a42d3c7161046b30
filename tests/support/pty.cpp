#include "support/pty.h"
#include "link/port_names.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return;
    slave = QString::fromLocal8Bit(ptsname(master));
    slaveHold = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(slaveHold, &t);
    cfmakeraw(&t);
    tcsetattr(slaveHold, TCSANOW, &t);
}

Pty::~Pty()
{
    hangUp();
}

void Pty::hangUp()
{
    if (slaveHold >= 0) ::close(slaveHold);
    if (master >= 0) ::close(master);
    slaveHold = master = -1;
}

QByteArray Pty::readMaster(int waitMs)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    do {
        QTest::qWait(5);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(master, buf, sizeof buf)) > 0)
            out.append(buf, n);
        if (out.endsWith("\r\n"))
            break;
    } while (t.elapsed() < waitMs);
    return out;
}

void Pty::writeMaster(const QByteArray& bytes)
{
    [[maybe_unused]] ssize_t n = ::write(master, bytes.constData(), bytes.size());
}

PortsFolder::PortsFolder()
{
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    QDir().mkpath(ports::folder());
}

bool PortsFolder::link(int com, const QString& target)
{
    QFile::remove(ports::entryPath(com));
    return QFile::link(target, ports::entryPath(com));
}
