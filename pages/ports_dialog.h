#pragma once
#include "ports/ports_system.h"

#include <QDialog>
#include <QTimer>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

// Ports…: the serial devices present and what COM1..COM9 stand for, and a COM number given to a
// device or taken back. It links as korvane-ports does, with the same checks and messages, by the
// device's stable by-id name where it has one. The lists follow devices plugged in and out.
class PortsDialog : public QDialog {
    Q_OBJECT
public:
    PortsDialog(const portstool::PortsSystem& system, QWidget* parent);

    static constexpr int kFollowMs = 1000;   // how often the devices present are looked at again

    // Reads the devices and the ports folder again; the device list is rebuilt only when it changed.
    void refresh();

signals:
    void linksChanged();

private:
    void assign();
    void unassign();
    void showDevices();
    void showComNumbers();
    void tell(const QString& out, const QString& err);

    portstool::PortsSystem system_;
    QList<portstool::Device> devices_;
    QTreeWidget* deviceList_;
    QTreeWidget* comList_;
    QComboBox* comChoice_;
    QPushButton* assign_;
    QPushButton* unassign_;
    QLabel* result_;
    QTimer follow_;
};
