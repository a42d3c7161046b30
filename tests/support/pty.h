#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A bare pseudo-terminal: the test holds the master side, the program opens the slave.
struct Pty {
    int master = -1;
    int slaveHold = -1;    // kept open so the master never sees the slave side vanish
    QString slave;
    Pty();
    ~Pty();
    void hangUp();
    QByteArray readMaster(int waitMs = 200);
    void writeMaster(const QByteArray& bytes);
};

// A private ports folder ($XDG_CONFIG_HOME/korvane/ports) for the test's life.
struct PortsFolder {
    QTemporaryDir dir;
    PortsFolder();
    bool link(int com, const QString& target);
};
