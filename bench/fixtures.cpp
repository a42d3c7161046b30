#include "fixtures.h"

#include "harness.h"
#include "support/rig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QMessageBox>

BoxCatcher::BoxCatcher()
{
    qApp->installEventFilter(this);
}

BoxCatcher::~BoxCatcher()
{
    qApp->removeEventFilter(this);
}

bool BoxCatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Show)
        return false;
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (!box)
        return false;
    shown.push_back({nowNs(), box->text()});
    QMetaObject::invokeMethod(box, [box] {
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
    }, Qt::QueuedConnection);
    return false;
}

bool BenchWindow::open()
{
    if (!LiveWindow::open(true))
        return false;
    form->show();
    const bool up = w<QAbstractButton>("Command5")->text() == QLatin1String("CLOSE");
    pause(50);
    return up;
}

void BenchWindow::click(const char* name)
{
    w<QAbstractButton>(name)->click();
}

void BenchWindow::type(const char* name, const QString& text)
{
    Rig::put(w(name), text);
}

QString BenchWindow::text(const char* name) const
{
    return controlText(w(name));
}

bool BenchWindow::settled() const
{
    return idle() && !QApplication::activeModalWidget();
}

bool BenchWindow::waitOutcome(size_t count, int timeoutMs)
{
    return spin([&] { return boxes.shown.size() >= count && settled(); }, timeoutMs);
}

void BenchWindow::reset()
{
    sim.faults() = sim::Faults{};
    boxes.shown.clear();
}

BenchWindow::Outcome BenchWindow::clickForBox(const char* button, const QString& expected, int timeoutMs)
{
    Outcome o;
    boxes.shown.clear();
    o.pressed = nowNs();
    click(button);
    o.returned = nowNs();
    if (waitOutcome(1, timeoutMs) && boxes.shown.size() == 1 && boxes.shown[0].text == expected)
        o.shown = boxes.shown[0].at;
    return o;
}

void fillTracker(sim::Tracker& t)
{
    auto& p = t.params();
    for (int i = 0; i < 8; ++i)
        p.telephones->number[i] = QStringLiteral("1390013800%1").arg(i);
    auto& g = *p.gprs;
    g.apn = QStringLiteral("internet.example.net");
    g.apnUser = QStringLiteral("tracker");
    g.apnPassword = QStringLiteral("s3cret");
    g.serverIp = QStringLiteral("203.0.113.77");
    g.serverPort = QStringLiteral("7700");
    g.httpAddress = QStringLiteral("http://track.example.net/api");
    g.httpPort = QStringLiteral("8080");
    g.interval = QStringLiteral("045");
    g.intervalUnit = bulk::IntervalUnit::Min;
    auto& o = *p.other;
    o.overSpeedOn = true;
    o.overSpeed = QStringLiteral("120");
    o.lowBattery = QStringLiteral("30%");
    o.displacementOn = true;
    o.displacement = QStringLiteral("020");
    o.localHours = QStringLiteral("-05");
    o.localMinutes = QStringLiteral("30");
    o.shakeStep = QStringLiteral("3");
    o.password = QStringLiteral("246810");
    o.odometer = QStringLiteral("004321");
    p.port->armFunction = bulk::ArmFunction::Level;
    p.port->armLevel = bulk::Level::High;
    for (int i = 0; i < 5; ++i) {
        auto& f = p.fences->fence[i];
        f.on = i % 2 == 0;
        f.side = i % 3 == 0 ? bulk::FenceSide::Out : bulk::FenceSide::In;
        f.coordinate = QStringLiteral("22.5%1,114.0%1,300").arg(i);
    }
}
