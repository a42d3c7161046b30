#include "pages/ports_dialog.h"
#include "ports/ports.h"
#include "link/port_names.h"
#include "pages/look.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace portstool;

namespace {

QString usbId(const Device& d)
{
    if (!d.hasUsbIds)
        return {};
    return QStringLiteral("%1:%2").arg(d.vendor, 4, 16, QLatin1Char('0')).arg(d.product, 4, 16, QLatin1Char('0'));
}

// Everything the device list shows of a device: a change in any of it redraws the list.
QStringList columnsOf(const Device& d, const QStringList& coms)
{
    return {d.path, d.description, d.manufacturer, d.serialNumber, usbId(d), d.stableNames.join(u'\n'),
            coms.join(QStringLiteral(", "))};
}

QTreeWidget* table(const QStringList& headers, const QString& name, const QString& accessible)
{
    auto* t = new QTreeWidget;
    t->setObjectName(name);
    t->setAccessibleName(accessible);
    t->setHeaderLabels(headers);
    t->setRootIsDecorated(false);
    t->setUniformRowHeights(false);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return t;
}

}  // namespace

PortsDialog::PortsDialog(const PortsSystem& system, QWidget* parent)
    : QDialog(parent),
      system_(system),
      deviceList_(table({"Device", "Description", "Manufacturer", "Serial number", "USB id", "Stable name", "COM"},
                        QStringLiteral("Devices"), QStringLiteral("Serial devices present"))),
      comList_(table({"COM", "Stands for", "State", "Adapter"}, QStringLiteral("ComNumbers"),
                     QStringLiteral("COM numbers"))),
      comChoice_(new QComboBox),
      assign_(new QPushButton(QStringLiteral("&Assign to the device"))),
      unassign_(new QPushButton(QStringLiteral("&Remove assignment"))),
      result_(new QLabel)
{
    setObjectName(QStringLiteral("PortsDialog"));
    setWindowTitle(QStringLiteral("Ports"));
    comChoice_->setObjectName(QStringLiteral("ComChoice"));
    comChoice_->setAccessibleName(QStringLiteral("COM number"));
    for (int n = 1; n <= 9; ++n)
        comChoice_->addItem(QStringLiteral("COM%1").arg(n));
    assign_->setObjectName(QStringLiteral("Assign"));
    unassign_->setObjectName(QStringLiteral("Unassign"));
    result_->setObjectName(QStringLiteral("Result"));
    result_->setWordWrap(true);
    // The tool's words quote device names and descriptions: shown as they are, never as markup.
    result_->setTextFormat(Qt::PlainText);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* devicesTitle = new QLabel(QStringLiteral("Serial devices present:"));
    devicesTitle->setBuddy(deviceList_);
    auto* comsTitle = new QLabel(QStringLiteral("COM numbers (ports folder %1):").arg(ports::folder()));
    comsTitle->setBuddy(comList_);
    auto* comLabel = new QLabel(QStringLiteral("&COM number:"));
    comLabel->setBuddy(comChoice_);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);

    auto* choose = new QHBoxLayout;
    choose->addWidget(comLabel);
    choose->addWidget(comChoice_);
    choose->addWidget(assign_);
    choose->addWidget(unassign_);
    choose->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(devicesTitle);
    layout->addWidget(deviceList_, 3);
    layout->addLayout(choose);
    layout->addWidget(comsTitle);
    layout->addWidget(comList_, 4);
    layout->addWidget(result_);
    layout->addWidget(close);

    for (int n = 1; n <= 9; ++n)
        comList_->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("COM%1").arg(n)}));

    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(assign_, &QPushButton::clicked, this, &PortsDialog::assign);
    connect(unassign_, &QPushButton::clicked, this, &PortsDialog::unassign);
    connect(deviceList_, &QTreeWidget::itemSelectionChanged, this,
            [this] { assign_->setEnabled(!deviceList_->selectedItems().isEmpty()); });
    // A COM number picked in its list is the one the buttons act on.
    connect(comList_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            comChoice_->setCurrentIndex(comList_->indexOfTopLevelItem(item));
    });
    connect(&follow_, &QTimer::timeout, this, &PortsDialog::refresh);
    follow_.start(kFollowMs);

    assign_->setEnabled(false);
    refresh();
    resize(860, 520);
}

void PortsDialog::refresh()
{
    devices_ = system_.devices();
    showComNumbers();
    showDevices();
}

void PortsDialog::showDevices()
{
    const QTreeWidgetItem* current = deviceList_->currentItem();
    const QString selected = current && current->isSelected() ? current->text(0) : QString();
    QList<QStringList> rows;
    for (const Device& d : std::as_const(devices_)) {
        QStringList coms;
        for (int n = 1; n <= 9; ++n) {
            const ComView v = viewCom(n, system_, {d});
            if (v.present)
                coms << QStringLiteral("COM%1").arg(n);
        }
        rows << columnsOf(d, coms);
    }
    // Redrawn only when something shown changed: a redraw would lose the technician's selection
    // and scroll position once a second.
    bool same = rows.size() == deviceList_->topLevelItemCount();
    for (int i = 0; same && i < rows.size(); ++i)
        for (int c = 0; same && c < rows[i].size(); ++c)
            same = deviceList_->topLevelItem(i)->text(c) == rows[i][c];
    if (same)
        return;
    deviceList_->clear();
    for (const QStringList& row : std::as_const(rows)) {
        auto* item = new QTreeWidgetItem(row);
        deviceList_->addTopLevelItem(item);
        if (row[0] == selected) {
            deviceList_->setCurrentItem(item);
            item->setSelected(true);
        }
    }
    if (rows.isEmpty()) {
        auto* none = new QTreeWidgetItem(QStringList{
            QStringLiteral("none found: connect the USB-serial cable (and the tracker's power)")});
        none->setFlags(Qt::NoItemFlags);
        deviceList_->addTopLevelItem(none);
    }
    assign_->setEnabled(!deviceList_->selectedItems().isEmpty());
}

void PortsDialog::showComNumbers()
{
    for (int n = 1; n <= 9; ++n) {
        const ComView v = viewCom(n, system_, devices_);
        QTreeWidgetItem* item = comList_->topLevelItem(n - 1);
        const QStringList texts = {comWhere(v), comState(v), v.present ? v.present->description : QString()};
        for (int c = 0; c < texts.size(); ++c)
            if (item->text(c + 1) != texts[c])
                item->setText(c + 1, texts[c]);
        item->setToolTip(0, look::plainTip(comDescription(v)));
    }
}

void PortsDialog::assign()
{
    QTreeWidgetItem* item = deviceList_->currentItem();
    if (!item || !item->isSelected())
        return;
    const int row = deviceList_->indexOfTopLevelItem(item);
    if (row < 0 || row >= devices_.size())
        return;
    const Result r = run({QStringLiteral("link"), comChoice_->currentText(), linkName(devices_[row])}, system_);
    tell(r.out, r.err);
    refresh();
    emit linksChanged();
}

void PortsDialog::unassign()
{
    const Result r = run({QStringLiteral("unlink"), comChoice_->currentText()}, system_);
    tell(r.out, r.err);
    refresh();
    emit linksChanged();
}

void PortsDialog::tell(const QString& out, const QString& err)
{
    // The tool's words, without the tool's name: here it is the dialog that speaks.
    static const QRegularExpression toolName(QStringLiteral("^korvane-ports: "),
                                             QRegularExpression::MultilineOption);
    QString text = (out + err).trimmed();
    text.replace(toolName, QString());
    result_->setText(text);
}
