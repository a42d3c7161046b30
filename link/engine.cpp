#include "link/engine.h"
#include "link/port.h"
#include "link/prompt.h"
#include "core/rows.h"

Engine::Engine(Port& port, Prompt& prompt, QObject* parent)
    : QObject(parent), port_(port), prompt_(prompt)
{
    timer_.setObjectName(QStringLiteral("Timer1"));
    timer_.setParent(this);   // found as the window's Timer1 among its children
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(50);
}

void Engine::setRule(Code code, Rule rule)
{
    rules_.insert(raw(code), std::move(rule));
}

bool Engine::prologue()
{
    if (!port_.isOpen()) {
        inform(text::kOpenPort);
        return false;
    }
    prepare();
    return true;
}

void Engine::prepare()
{
    port_.discardOutput();
    port_.discardInput();
    clearMonitor();
    replied_ = false;
}

void Engine::send(Code code, const QString& command)
{
    code_ = code;
    if (!port_.isOpen()) {
        // A chain step after the technician closed the port: nothing can go out.
        end();
        inform(text::kOpenPort);
        return;
    }
    if (!port_.write(command + QStringLiteral("\r\n"))) {
        end();   // the port reports its loss itself
        return;
    }
    timer_.start();
    ticks_ = 0;
}

void Engine::end()
{
    code_ = Code::Idle;
    replied_ = false;
    timer_.stop();
}

void Engine::tick()
{
    judge();
    emit ticked();
}

void Engine::judge()
{
    // A message box of this engine runs a nested event loop; the transaction it reports must not be
    // judged a second time meanwhile.
    if (modal_ > 0 || !timer_.isActive())
        return;
    if (ticks_ < 255)
        ++ticks_;
    if (ticks_ <= 20)
        return;
    if (!replied_) {
        end();
        inform(text::kOutTime);
        return;
    }
    const auto rule = rules_.constFind(raw(code_));
    if (rule == rules_.constEnd()) {
        end();
        return;
    }
    const Rule apply = *rule;   // a rule may replace rules; keep our copy alive
    apply(monitor_);
}

void Engine::receive(int event)
{
    QString chunk;
    if (event == 2) {   // Port::Received
        chunk = port_.readAll();
        if (!chunk.isEmpty())
            replied_ = true;
    }
    if (!chunk.isEmpty()) {
        monitor_ += chunk;
        // Keep at most the newest kMonitorKeep characters of a tracker that never stops sending;
        // trimming in steps keeps the cost of a chunk in proportion to its size.
        if (monitor_.size() > 2 * kMonitorKeep)
            monitor_.remove(0, monitor_.size() - kMonitorKeep);
        emit monitorAppended(chunk);
    }
    // Restarting the watcher puts its next tick a whole interval after this chunk, so a reply
    // that arrives in pieces is judged only when it has been quiet for a tick.
    timer_.start();
    ticks_ = code_ == Code::ReadAll ? 18 : 20;
}

void Engine::portLost()
{
    end();
    inform(text::kPortLost);
}

void Engine::acknowledge(const QString& token)
{
    const bool ok = monitor_ == token;
    end();
    inform(ok ? text::kSettingOk : text::kSettingError);
}

void Engine::chain(const QString& token, const std::function<void()>& next)
{
    if (monitor_ != token) {
        end();
        inform(text::kSettingError);
        return;
    }
    prepare();
    next();
}

void Engine::inform(const QString& text)
{
    ++modal_;
    prompt_.inform(text);
    --modal_;
}

bool Engine::ask(const QString& text)
{
    ++modal_;
    const bool ok = prompt_.ask(text);
    --modal_;
    return ok;
}

void Engine::replaceMonitor(const QString& text)
{
    monitor_ = text;
    emit monitorReplaced(monitor_);
}

void Engine::clearMonitor()
{
    // Also when the record is empty: the view may hold text the record does not (a failure number
    // shown by a view of its own, text put there by another program), and after a send both must
    // say the same.
    monitor_.clear();
    emit monitorReplaced(monitor_);
}

namespace text {

bool isVerdict(const QString& message)
{
    return message == kSettingOk || message == kSettingError || message == kOutTime || message == kPortLost ||
           message == kOpenPort;
}

QString whatCameBack(const QString& verdict, const QString& reply)
{
    if (verdict == kOutTime)
        return reply.isEmpty() ? QStringLiteral("no answer within 2.1 s (Out-Time !)")
                               : QStringLiteral("no answer after %1 (Out-Time !)").arg(rows::shown(reply));
    if (verdict == kSettingError)
        return QStringLiteral("the tracker answered %1 (Setting Error!)").arg(rows::shown(reply));
    if (verdict == kPortLost)
        return QStringLiteral("the port went away (%1)").arg(verdict);
    if (!verdict.isEmpty())
        return verdict;
    return QStringLiteral("no answer");
}

}  // namespace text
