#include "app/session.h"

#include "core/dump_parser.h"
#include "link/written.h"
#include "link/port.h"

#include <QEventLoop>

namespace cli {

namespace {

using bulk::Model;

constexpr QLatin1String kReadCommand("SETG");
constexpr QLatin1String kResetCommand("SET10");

using text::isVerdict;
using rows::shown;

QString signalName(int signal)
{
    return signal == 2 ? QStringLiteral("SIGINT") : signal == 15 ? QStringLiteral("SIGTERM")
                                                                 : QStringLiteral("signal %1").arg(signal);
}

}  // namespace

// ---- the session --------------------------------------------------------------------------------

void Session::Recorder::inform(const QString& text)
{
    s_.messages_ << text;
    if (isVerdict(text) && s_.outcome_.isEmpty()) {
        s_.outcome_ = text;
        s_.replyAtOutcome_ = s_.engine_.monitor();
    }
}

bool Session::Recorder::ask(const QString& text)
{
    // The window asks before some commands; a profile has already been checked, so the answer is OK.
    s_.messages_ << text;
    return true;
}

Session::Session(Port& port, Output output)
    : port_(port), out_(std::move(output)), engine_(port, prompt_), runner_(engine_, [this] { return fields_; })
{
    engine_.timer().setInterval(100);   // the window's watcher
    QObject::connect(&port_, &Port::notified, &engine_, &Engine::receive);
    QObject::connect(&port_, &Port::lost, &engine_, &Engine::portLost);
    QObject::connect(&engine_.timer(), &QTimer::timeout, &engine_, &Engine::tick);
    // After the engine's own tick: a transaction that has ended stops the watcher.
    QObject::connect(&engine_.timer(), &QTimer::timeout, &engine_, [this] { onTick(); });
    QObject::connect(&port_, &Port::lost, &engine_, [this] { onTick(); }, Qt::QueuedConnection);
    QObject::connect(&engine_, &Engine::monitorAppended, &engine_,
                     [this](const QString& chunk) { received_ += chunk.size(); });
    guard_.setInterval(100);
    QObject::connect(&guard_, &QTimer::timeout, &engine_, [this] { checkBounds(); });

    runner_.registerAll();
    engine_.setRule(Code::ReadAll, [this](const QString& reply) {
        reply_ = reply;
        engine_.end();
    });
    engine_.setRule(Code::Initialize, [this](const QString& reply) {
        reply_ = reply;
        engine_.end();
    });
    runner_.sent = [this](Code, const QString& line) {
        Q_UNUSED(line);
        if (!plan_)
            return;
        // Inside a chain a command goes out once the one before it was acknowledged.
        if (sent_ > pressStart_)
            out_.progress(progressLine(sent_ - 1, plan_->commands[sent_ - 1].line, QStringLiteral("OK")));
        ++sent_;
    };
}

Session::~Session()
{
    engine_.timer().stop();
    port_.disconnect(&engine_);
}

void Session::onTick()
{
    if (!engine_.timer().isActive() && done_)
        done_();
}

void Session::checkBounds()
{
    // The watcher judges a reply only once it has been quiet, and every chunk puts its tick off
    // again: a tracker that never stops sending would keep the tool waiting for ever, with nobody
    // at hand to close the port.
    if (!done_ || (received_ <= kReplySizeLimit && since_.elapsed() <= kReplyTimeLimitMs))
        return;
    giveUp(QStringLiteral("the tracker kept sending without end (%1 characters in %2 s): %3")
               .arg(received_)
               .arg(double(since_.elapsed()) / 1000.0, 0, 'f', 1)
               .arg(shown(engine_.monitor())));
}

void Session::giveUp(const QString& why)
{
    givenUp_ = why;
    engine_.end();
    port_.discardInput();
    if (done_)
        done_();
}

void Session::interrupt(int signal)
{
    if (signal_)
        return;
    signal_ = signal;
    if (done_)
        giveUp(QStringLiteral("interrupted by %1").arg(signalName(signal)));
}

bool Session::transact(const std::function<bool()>& start)
{
    messages_.clear();
    outcome_.clear();
    replyAtOutcome_.clear();
    reply_.clear();
    givenUp_.clear();
    if (signal_)
        return false;
    since_.start();
    received_ = 0;
    if (!engine_.prologue())
        return false;
    if (!start())
        return false;
    if (engine_.timer().isActive()) {
        QEventLoop loop;
        done_ = [&loop] { loop.quit(); };
        guard_.start();
        loop.exec();
        guard_.stop();
        done_ = nullptr;
    }
    // A write into a device that went away ends the transaction at once; the port tells it later.
    if (outcome_.isEmpty() && givenUp_.isEmpty() && !port_.isOpen())
        outcome_ = text::kPortLost;
    return true;
}

QString Session::progressLine(int index, const QString& line, const QString& verdict) const
{
    const int total = plan_ ? int(plan_->commands.size()) : 1;
    return QStringLiteral("[%1/%2] %3... %4").arg(index + 1).arg(total).arg(rows::visible(line), verdict);
}

QString Session::whatCameBack() const
{
    return givenUp_.isEmpty() ? text::whatCameBack(outcome_, replyAtOutcome_) : givenUp_;
}

int Session::read(bulk::Model model, bulk::Params* params)
{
    transact([this] {
        engine_.send(Code::ReadAll, kReadCommand);
        return true;
    });
    if (signal_) {
        out_.progress(progressLine(0, kReadCommand, QStringLiteral("interrupted")));
        out_.error(QStringLiteral("reading the parameters (%1): interrupted by %2").arg(kReadCommand, signalName(signal_)));
        return Interrupted + signal_;
    }
    if (!outcome_.isEmpty() || !givenUp_.isEmpty() || reply_.isEmpty()) {
        out_.progress(progressLine(0, kReadCommand, QStringLiteral("failed")));
        out_.error(QStringLiteral("reading the parameters (%1): %2").arg(kReadCommand, whatCameBack()));
        return TrackerFailed;
    }
    const bulk::DumpRead dump = bulk::parseDump(reply_, model == Model::Condor);
    const QString problem = !reply_.startsWith(QLatin1Char('A')) ? QStringLiteral("it is no parameter dump")
                            : dump.incomplete                    ? bulk::kIncompleteDump
                            : dump.intervalError                 ? bulk::kIntervalError
                            : dump.localTimeError                ? bulk::kLocalTimeError
                                                                 : QString();
    if (!problem.isEmpty()) {
        out_.progress(progressLine(0, kReadCommand, QStringLiteral("failed")));
        out_.error(QStringLiteral("reading the parameters (%1): %2; the tracker answered %3")
                       .arg(kReadCommand, problem, shown(reply_)));
        return TrackerFailed;
    }
    out_.progress(progressLine(0, kReadCommand, QStringLiteral("OK (%1 characters)").arg(reply_.size())));
    *params = dump.params;
    return Done;
}

int Session::reset()
{
    const bool went = transact([this] {
        engine_.send(Code::Initialize, kResetCommand);
        return true;
    });
    if (signal_) {
        out_.progress(progressLine(0, kResetCommand, QStringLiteral("interrupted")));
        out_.error(QStringLiteral("resetting (%1): interrupted by %2; %3")
                       .arg(kResetCommand, signalName(signal_),
                            went ? QStringLiteral("the command was sent, the tracker may have applied it")
                                 : QStringLiteral("nothing was sent")));
        return Interrupted + signal_;
    }
    // The window judges by where "RESET!" stands; here any "RESET!" is the tracker's consent.
    if (!outcome_.isEmpty() || !givenUp_.isEmpty() || !reply_.contains(QLatin1String("RESET!"))) {
        out_.progress(progressLine(0, kResetCommand, QStringLiteral("failed")));
        out_.error(QStringLiteral("resetting (%1): %2").arg(kResetCommand,
                                                           outcome_.isEmpty() && givenUp_.isEmpty()
                                                               ? QStringLiteral("no \"RESET!\" in the answer %1").arg(shown(reply_))
                                                               : whatCameBack()));
        return TrackerFailed;
    }
    out_.progress(progressLine(0, kResetCommand, QStringLiteral("OK")));
    return Done;
}

int Session::write(const bulk::Profile& profile)
{
    const bulk::Plan p = bulk::plan(profile);
    fields_ = p.fields;
    plan_ = &p;
    sent_ = 0;
    failure_ = {};
    for (const QString& field : p.passedOver)
        out_.progress(QStringLiteral("not written: %1").arg(field));
    for (const bulk::PlannedPress& press : p.presses) {
        const int before = pressStart_ = sent_;
        const bool went = transact([this, &press] {
            return press.row ? runner_.startRow(*press.row) : runner_.startChain(*press.chain);
        });
        if (!went && signal_) {   // the signal came between two presses
            out_.error(QStringLiteral("interrupted by %1 before command %2 of %3")
                           .arg(signalName(signal_)).arg(sent_ + 1).arg(p.commands.size()));
            out_.error(bulk::writtenSoFar(p, sent_, sent_));
            plan_ = nullptr;
            return Interrupted + signal_;
        }
        const bool ok = went && givenUp_.isEmpty() && (outcome_.isEmpty() || outcome_ == text::kSettingOk) &&
                        sent_ == before + press.count;
        if (ok) {
            out_.progress(progressLine(sent_ - 1, p.commands[sent_ - 1].line, QStringLiteral("OK")));
            continue;
        }
        // The command that failed: the last one sent, or the one refused before it could go.
        const bool refused = !went || (givenUp_.isEmpty() && sent_ < before + press.count && outcome_ == text::kOutTime &&
                                       !messages_.isEmpty() && !isVerdict(messages_.first()));
        const int at = refused ? sent_ : qMax(before, sent_ - 1);
        const bulk::PlannedCommand& command = p.commands[at];
        QString why;
        if (refused) {
            QStringList notVerdicts;
            for (const QString& m : messages_)
                if (!isVerdict(m))
                    notVerdicts << m;
            why = QStringLiteral("refused before sending: %1").arg(notVerdicts.join(QLatin1String(" / ")));
        } else {
            why = whatCameBack();
        }
        out_.progress(progressLine(at, command.line, signal_ ? QStringLiteral("interrupted") : QStringLiteral("failed")));
        out_.error(QStringLiteral("%1 (%2, button %3) %4 at command %5 of %6, %7: %8")
                       .arg(bulk::groupTitle(command.group), command.group, command.button,
                            signal_ ? QStringLiteral("interrupted") : QStringLiteral("failed"))
                       .arg(at + 1)
                       .arg(p.commands.size())
                       .arg(shown(command.line), why));
        out_.error(bulk::writtenSoFar(p, at, sent_));
        failure_ = {at + 1, command.line, refused ? QString() : replyAtOutcome_.isEmpty() ? givenUp_ : replyAtOutcome_};
        plan_ = nullptr;
        return signal_ ? Interrupted + signal_ : TrackerFailed;
    }
    plan_ = nullptr;
    return Done;
}

}  // namespace cli
