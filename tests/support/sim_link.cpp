#include "support/sim_link.h"

#include <QCoreApplication>

SimLink::SimLink()
{
    // Ticks come from the test alone.
    link.engine().timer().setInterval(1 << 30);
    port.open();
    QObject::connect(&run, &PlanRun::finished, &run, [this](const PlanRun::Result& r) { ended = r; });
    QObject::connect(&run, &PlanRun::commandAcknowledged, &run, [this](int index, int, const QString& line) {
        acknowledged << QStringLiteral("%1 %2").arg(index).arg(line);
    });
}

QStringList SimLink::wire() const
{
    QStringList lines;
    for (const QString& w : port.written)
        lines << w.chopped(2);
    return lines;
}

void SimLink::tick()
{
    link.engine().tick();
    QCoreApplication::processEvents();
}

void SimLink::step()
{
    QCoreApplication::processEvents();
    if (port.written.size() > answered) {
        const QString line = port.written[answered++].chopped(2);
        if (const QString reply = peer(line); !reply.isEmpty())
            port.deliver(reply);
    } else if (link.engine().timer().isActive()) {
        tick();
    }
}

bool SimLink::serve(const std::function<bool()>& until)
{
    for (int i = 0; i < 5000; ++i) {
        if (ended || (until && until()))
            return true;
        step();
    }
    return false;
}

const PlanRun::Result& SimLink::served()
{
    serve();
    return *ended;
}
