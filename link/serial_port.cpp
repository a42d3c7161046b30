#include "link/serial_port.h"
#include "link/port_names.h"

#include <cstring>

#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SerialPort::SerialPort(QObject* parent) : Port(parent)
{
    serial_.setReadBufferSize(0);
    connect(&serial_, &QSerialPort::readyRead, this, [this] { emit notified(Received); });
    connect(&serial_, &QSerialPort::errorOccurred, this, &SerialPort::onError);
}

SerialPort::~SerialPort()
{
    serial_.disconnect(this);
    if (serial_.isOpen())
        serial_.close();
}

void SerialPort::setNumber(int n)
{
    if (n >= 1 && n <= 9 && !serial_.isOpen())
        number_ = n;
}

void SerialPort::setDevicePath(const QString& path)
{
    if (!serial_.isOpen())
        path_ = path;
}

bool SerialPort::setName(const QString& name)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-9])$"), QRegularExpression::CaseInsensitiveOption);
    if (serial_.isOpen())
        return false;
    if (const auto m = com.match(name); m.hasMatch()) {
        path_.clear();
        setNumber(m.captured(1).toInt());
        return true;
    }
    if (!name.contains(QLatin1Char('/')))
        return false;
    setDevicePath(name);
    return true;
}

QString SerialPort::deviceName() const
{
    return path_.isEmpty() ? ports::devicePath(number_) : path_;
}

int SerialPort::open()
{
    if (serial_.isOpen())
        return AlreadyOpen;
    const QString path = deviceName();
    // Qt folds "no such file", "busy" and "no permission" into few error kinds; ask the system
    // first so that the technician sees which one it is.
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), F_OK) != 0)
        return NoSuchPort;
    openError_.clear();
    if (::access(native.constData(), R_OK | W_OK) != 0) {
        openError_ = QString::fromLocal8Bit(std::strerror(errno));
        return errno == EACCES ? PermissionDenied : OtherFailure;
    }

    serial_.setPortName(path);
    serial_.setBaudRate(QSerialPort::Baud115200);
    serial_.setDataBits(QSerialPort::Data8);
    serial_.setParity(QSerialPort::NoParity);
    serial_.setStopBits(QSerialPort::OneStop);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    if (!serial_.open(QIODevice::ReadWrite)) {
        const auto error = serial_.error();
        openError_ = serial_.errorString();
        serial_.clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return NoSuchPort;
        case QSerialPort::PermissionError:   // busy (TIOCEXCL) or locked by another program
            return AlreadyOpen;
        case QSerialPort::UnsupportedOperationError:   // not a terminal at all
        case QSerialPort::ResourceError:               // a port node with no hardware behind it (EIO)
            return NoSuchPort;
        default:
            return OtherFailure;
        }
    }
    // Qt's own lock file is named after the path it was given, and root passes TIOCEXCL: a lock on
    // the device itself also holds against another name for it (COM4 and /dev/pts/3) and for root.
    if (::flock(int(serial_.handle()), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        openError_ = QString::fromLocal8Bit(std::strerror(error));
        serial_.close();
        return error == EWOULDBLOCK ? AlreadyOpen : OtherFailure;
    }
    dropping_ = false;
    // Now, while the ports folder's link still leads there: an adapter unplugged leaves it
    // dangling, a simulator that hangs up removes it.
    opened_ = ports::followed(path);
    return 0;
}

int SerialPort::close()
{
    if (serial_.isOpen())
        serial_.close();
    return 0;
}

bool SerialPort::isOpen() const
{
    return serial_.isOpen();
}

void SerialPort::discardOutput()
{
    if (serial_.isOpen())
        serial_.clear(QSerialPort::Output);
}

void SerialPort::discardInput()
{
    if (!serial_.isOpen())
        return;
    serial_.clear(QSerialPort::Input);
    serial_.readAll();   // what Qt had already buffered
}

bool SerialPort::write(const QString& text)
{
    if (!serial_.isOpen())
        return false;
    const QByteArray bytes = text.toLatin1();   // one byte a character; others become '?'
    if (serial_.write(bytes) != bytes.size()) {
        drop();
        return false;
    }
    return serial_.isOpen();
}

QString SerialPort::readAll()
{
    if (!serial_.isOpen())
        return {};
    return QString::fromLatin1(serial_.readAll());
}

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    // A device that goes away (adapter pulled, pseudo-terminal hung up) shows up as a storm of
    // read errors while the port still claims to be open: any error on an open port means it is gone.
    if (error == QSerialPort::NoError || !serial_.isOpen())
        return;
    drop();
}

void SerialPort::drop()
{
    if (dropping_)
        return;
    dropping_ = true;
    serial_.clearError();
    serial_.close();
    // Reported from the event loop, not from inside the port's own notification: the window then
    // shows a modal box, which must not run nested in QSerialPort's read handler.
    QMetaObject::invokeMethod(this, &SerialPort::lost, Qt::QueuedConnection);
}
