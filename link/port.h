#pragma once
#include <QObject>
#include <QString>

// The operations the window needs from its serial port, and nothing more. Failure numbers of
// open() and close():
//   8002  no such device, not a serial device, or no hardware behind it (no usable port)
//   8005  the device is already open, or locked by another program
//   8010  permission denied (on Linux: the user is not in the dialout group)
//   8020  any other failure
class Port : public QObject {
    Q_OBJECT
public:
    enum Failure { NoSuchPort = 8002, AlreadyOpen = 8005, PermissionDenied = 8010,
                   OtherFailure = 8020 };
    enum Event { Received = 2 };

    using QObject::QObject;
    ~Port() override = default;

    virtual void setNumber(int n) = 0;   // 1..9, only while closed
    virtual int number() const = 0;
    virtual int open() = 0;              // 0 on success, else a failure number
    virtual int close() = 0;             // 0 on success, else a failure number
    virtual bool isOpen() const = 0;
    virtual void discardOutput() = 0;
    virtual void discardInput() = 0;
    // One write of the whole text, one byte per character. False when the device is gone; the port
    // has then already reported lost().
    virtual bool write(const QString& text) = 0;
    virtual QString readAll() = 0;
    // The device the last successful open() reached, its links followed (/dev/ttyUSB0 for a COM
    // number linked to it), kept after the port closed or went away: what a record names. Empty
    // when the port does not know.
    virtual QString openedDevice() const { return {}; }

signals:
    void notified(int event);   // Event::Received when characters wait; other values: line events
    void lost();                // the open device went away; emitted once, the port is closed
};
