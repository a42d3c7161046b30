#pragma once
#include "link/port.h"

#include <QSerialPort>

// The real port: COMn through the ports folder, 115200 8N1, no flow control.
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

    QString deviceName() const;

private:
    void onError(QSerialPort::SerialPortError error);
    void drop();

    QSerialPort serial_;
    int number_ = 1;
    bool dropping_ = false;
};
