#include "link/link.h"
#include "link/port.h"

TrackerLink::TrackerLink(Port& port)
    : port_(port), engine_(port, relay_), runner_(engine_, [this] { return fields_; })
{
    engine_.timer().setInterval(100);   // the window's watcher
    QObject::connect(&port_, &Port::notified, &engine_, &Engine::receive);
    QObject::connect(&port_, &Port::lost, &engine_, &Engine::portLost);
    QObject::connect(&engine_.timer(), &QTimer::timeout, &engine_, &Engine::tick);
    runner_.registerAll();
    for (const Code code : {Code::ReadAll, Code::Initialize})
        engine_.setRule(code, [this](const QString& reply) {
            const auto taken = std::exchange(taker_, nullptr);
            engine_.end();
            if (taken)
                taken(reply);
        });
}

TrackerLink::~TrackerLink()
{
    engine_.timer().stop();
    port_.disconnect(&engine_);
}

void TrackerLink::lend(Prompt* prompt, std::optional<rows::Fields> fields)
{
    relay_.setTarget(prompt ? prompt : &nobody_);
    fields_ = prompt && fields ? *fields : rows::Fields{};
}

bool TrackerLink::request(Code code, const QString& command, std::function<void(const QString& reply)> taken)
{
    taker_ = nullptr;
    if (!engine_.prologue())
        return false;
    taker_ = std::move(taken);
    engine_.send(code, command);
    return true;
}
