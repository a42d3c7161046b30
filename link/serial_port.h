#pragma once
#include "link/port.h"

#include <QSerialPort>

// The real port: COMn through the ports folder (or a device named by its path), 115200 8N1, no flow
// control. An open port holds an exclusive lock on the device, so that no second program, whatever
// name it opens the device by, writes to the same tracker meanwhile: it gets 8005.
class SerialPort : public Port {
    Q_OBJECT
public:
    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    void setNumber(int n) override;
    int number() const override { return number_; }
    int open() override;
    int close() override;
    bool isOpen() const override;
    void discardOutput() override;
    void discardInput() override;
    bool write(const QString& text) override;
    QString readAll() override;
    QString openedDevice() const override { return opened_; }

    // A device by its path (/dev/ttyUSB0) instead of a COM number; empty goes back to the number.
    void setDevicePath(const QString& path);
    QString deviceName() const;
    // A port as the user names it: COM1..COM9 (any letter case) through the ports folder, or a
    // device path (any name holding a "/"). False, and nothing changed, for anything else.
    bool setName(const QString& name);
    // The system's words for the last failure of open(), where it gave any.
    QString openError() const { return openError_; }

private:
    void onError(QSerialPort::SerialPortError error);
    void drop();

    QSerialPort serial_;
    int number_ = 1;
    QString path_;
    bool dropping_ = false;
    QString openError_;
    QString opened_;
};
