#include "ports/ports_system.h"
#include "link/port_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace portstool {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

QString builtinPath(int com)
{
    return QStringLiteral("/dev/ttyS") + QString::number(com - 1);
}

Entry lookEntry(const QString& path)
{
    Entry e;
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0)
        return e;
    e.present = true;
    e.symlink = S_ISLNK(st.st_mode);
    if (e.symlink) {
        std::vector<char> buf(4096);
        const ssize_t n = ::readlink(native.constData(), buf.data(), buf.size() - 1);
        if (n >= 0)
            e.target = QFile::decodeName(QByteArray(buf.data(), int(n)));
        e.targetExists = ::stat(native.constData(), &st) == 0;
    } else {
        e.kind = S_ISDIR(st.st_mode) ? QStringLiteral("folder")
                 : S_ISREG(st.st_mode) ? QStringLiteral("regular file")
                 : S_ISCHR(st.st_mode) ? QStringLiteral("device node")
                                       : QStringLiteral("special file");
    }
    return e;
}

QString canonical(const QString& path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(path) : c;
}

QString replaceLink(const QString& entry, const QString& device)
{
    // A new link under a private name, then renamed over the entry: the entry is never missing
    // for a window that opens the port meanwhile.
    const QFileInfo info(entry);
    const QString temp = info.path() + QStringLiteral("/.%1.new-%2").arg(info.fileName()).arg(::getpid());
    const QByteArray tempNative = QFile::encodeName(temp);
    ::unlink(tempNative.constData());
    if (::symlink(QFile::encodeName(device).constData(), tempNative.constData()) != 0
        || ::rename(tempNative.constData(), QFile::encodeName(entry).constData()) != 0) {
        const QString why = systemError();
        ::unlink(tempNative.constData());
        return why;
    }
    return {};
}

QString removeLink(const QString& entry)
{
    return ::unlink(QFile::encodeName(entry).constData()) == 0 ? QString() : systemError();
}

QStringList stableNamesOf(const QString& device, const QString& devFolder)
{
    // The by-id links carry the adapter's make and serial number and survive replugging, unlike
    // ttyUSB numbers, so they are worth showing beside the device.
    QStringList names;
    const QString target = canonical(device);
    const QDir byId(devFolder + QStringLiteral("/serial/by-id"));
    for (const QFileInfo& f : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        if (f.isSymLink() && f.canonicalFilePath() == target)
            names << f.absoluteFilePath();
    return names;
}

QList<Device> presentDevices(const QString& devFolder)
{
    QList<Device> out;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        Device d;
        d.path = info.systemLocation();
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serialNumber = info.serialNumber();
        d.hasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
        d.vendor = info.vendorIdentifier();
        d.product = info.productIdentifier();
        d.stableNames = stableNamesOf(d.path, devFolder);
        out << d;
    }
    std::sort(out.begin(), out.end(), [](const Device& a, const Device& b) { return a.path < b.path; });
    return out;
}

QStringList presentPaths()
{
    // Asked twice a second by a station: the paths alone, without the names that lead to them.
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        paths << info.systemLocation();
    paths.sort();
    return paths;
}

Access probe(const QString& path)
{
    Access a;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return a;
    a.exists = true;
    a.characterDevice = S_ISCHR(st.st_mode);
    if (a.characterDevice) {
        // Serial lines are of the kernel's tty class; pseudo-terminals have no entry here at all.
        const QString cls = QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
        const QString target = QFileInfo(cls).symLinkTarget();
        if (!target.isEmpty())
            a.deviceClass = QFileInfo(target).fileName();
        // A serial line's entry leads to its hardware (a UART, a USB interface); the system's own
        // terminals have none.
        a.systemTerminal = a.deviceClass == QLatin1String("tty")
                           && !QFileInfo::exists(QStringLiteral("/sys/dev/char/%1:%2/device").arg(major(st.st_rdev)).arg(minor(st.st_rdev)));
    }
    // The same test the window makes before it opens a port.
    a.readWrite = ::access(native.constData(), R_OK | W_OK) == 0;
    if (const group* g = ::getgrgid(st.st_gid))
        a.group = QString::fromLocal8Bit(g->gr_name);
    else
        a.group = QString::number(st.st_gid);

    const mode_t m = st.st_mode;
    a.mode = QString(S_ISCHR(m) ? u'c' : S_ISDIR(m) ? u'd' : S_ISBLK(m) ? u'b' : u'-');
    const char* rwx = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        a.mode += (m & (0400 >> i)) ? QChar(rwx[i]) : QChar(u'-');

    const gid_t gid = st.st_gid;
    a.groupInSession = ::getegid() == gid;
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(count);
        const int got = ::getgroups(count, groups.data());
        for (int i = 0; i < got; ++i)
            a.groupInSession = a.groupInSession || groups[i] == gid;
    }
    // A user added to the group after logging in has it in the account but not yet in the session.
    if (const passwd* pw = ::getpwuid(::getuid())) {
        int n = 64;
        std::vector<gid_t> groups(n);
        if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &n) < 0) {
            groups.resize(n);
            if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &n) < 0)
                n = 0;
        }
        groups.resize(std::max(n, 0));
        a.groupInAccount = std::find(groups.begin(), groups.end(), gid) != groups.end();
    }
    return a;
}

bool serialDevice(const Access& access)
{
    return access.characterDevice && !access.systemTerminal
           && (access.deviceClass.isEmpty() || access.deviceClass == QLatin1String("tty"));
}

PortsSystem PortsSystem::real()
{
    PortsSystem s;
    s.devices = [] { return presentDevices(); };
    s.access = probe;
    // Under sudo the folder is root's, unless the environment was kept (sudo -E) and it still is
    // the user's own.
    const QString sudo = qEnvironmentVariable("SUDO_USER");
    if (::geteuid() == 0 && !sudo.isEmpty() && sudo != QLatin1String("root")) {
        const passwd* pw = ::getpwnam(sudo.toLocal8Bit().constData());
        const QString home = pw ? QFile::decodeName(pw->pw_dir) : QString();
        if (home.isEmpty() || !ports::folder().startsWith(home + u'/'))
            s.sudoUser = sudo;
    }
    return s;
}

}  // namespace portstool
