#include "link/plan_run.h"

#include "core/dump_parser.h"
#include "link/engine.h"
#include "link/link.h"
#include "link/port.h"
#include "link/runner.h"
#include "link/written.h"

#include <QEventLoop>

namespace {
constexpr QLatin1String kReadCommand("SETG");
constexpr QLatin1String kResetCommand("SET10");
}  // namespace

using text::isVerdict;

void PlanRun::Recorder::inform(const QString& text)
{
    run_.messages_ << text;
    if (isVerdict(text) && run_.outcome_.isEmpty()) {
        run_.outcome_ = text;
        run_.replyAtOutcome_ = run_.link_.engine().monitor();
    }
}

bool PlanRun::Recorder::ask(const QString& text)
{
    // The profile was checked and the write asked for as a whole: a row's own question is answered.
    run_.messages_ << text;
    return true;
}

PlanRun::PlanRun(Link& link, QObject* parent) : QObject(parent), link_(link)
{
    // After each tick has judged: a watcher that stopped means the transaction is over (a chain's
    // next step restarts it).
    connect(&link_.engine(), &Engine::ticked, this, &PlanRun::transactionOver);
    connect(&link_.port(), &Port::lost, this, &PlanRun::transactionOver, Qt::QueuedConnection);
    connect(&link_.engine(), &Engine::monitorAppended, this, [this](const QString& chunk) { received_ += chunk.size(); });
    guard_.setInterval(100);
    connect(&guard_, &QTimer::timeout, this, &PlanRun::checkBounds);
}

PlanRun::~PlanRun()
{
    if (running()) {
        link_.lend(nullptr);
        link_.runner().sent = nullptr;
        link_.runner().stopChain = nullptr;
    }
}

QString PlanRun::signalName(int signal)
{
    switch (signal) {
    case 1: return QStringLiteral("SIGHUP");
    case 2: return QStringLiteral("SIGINT");
    case 15: return QStringLiteral("SIGTERM");
    default: return QStringLiteral("signal %1").arg(signal);
    }
}

void PlanRun::begin(Action action, const bulk::Profile& profile)
{
    result_ = {};
    result_.action = action;
    cancelled_ = false;
    press_ = 0;
    pressStart_ = 0;
    readBack_ = true;
    profile_ = profile;
    plan_ = action == Action::Write ? bulk::plan(profile) : bulk::Plan{};
    result_.total = int(plan_.commands.size());
    link_.lend(&recorder_, plan_.fields);
    link_.runner().sent = [this](Code, const QString& line) {
        startCommand();
        const int index = result_.sent++;
        // Inside a chain a command goes out once the one before it was acknowledged.
        if (index > pressStart_)
            emit commandAcknowledged(index - 1, result_.total, plan_.commands[index - 1].line);
        emit commandSent(index, result_.total, line);
    };
    link_.runner().stopChain = [this] { return cancelled_; };
}

void PlanRun::later(void (PlanRun::*step)())
{
    // One turn of the event loop first, so that a progress dialog is drawn before the wire is busy.
    scheduled_ = true;
    QTimer::singleShot(0, this, [this, step] {
        scheduled_ = false;
        (this->*step)();
    });
}

void PlanRun::write(const bulk::Profile& profile, bool readBack)
{
    begin(Action::Write, profile);
    readBack_ = readBack;
    later(&PlanRun::nextPress);
}

void PlanRun::verify(const bulk::Profile& profile)
{
    begin(Action::Verify, profile);
    later(&PlanRun::readDump);
}

void PlanRun::read(bulk::Model model)
{
    bulk::Profile profile;
    profile.model = model;
    begin(Action::Read, profile);
    later(&PlanRun::readDump);
}

void PlanRun::reset()
{
    begin(Action::Reset, {});
    later(&PlanRun::readDump);
}

const PlanRun::Result& PlanRun::wait()
{
    if (running()) {
        QEventLoop loop;
        connect(this, &PlanRun::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return result_;
}

void PlanRun::cancel()
{
    cancelled_ = true;
}

void PlanRun::interrupt(int signal)
{
    if (result_.signal || !running())
        return;
    result_.signal = signal;
    cancelled_ = true;
    if (waiting_ != Waiting::None)
        giveUp(QStringLiteral("interrupted by %1").arg(signalName(signal)));
}

void PlanRun::clearTransaction()
{
    messages_.clear();
    outcome_.clear();
    replyAtOutcome_.clear();
    givenUp_.clear();
    reply_.clear();
    replyTaken_ = false;
}

void PlanRun::startCommand()
{
    since_.start();
    received_ = 0;
    guard_.start();
}

void PlanRun::checkBounds()
{
    // Every chunk puts the watcher's judgement off: a tracker that never stops sending would keep
    // the run, and whoever waits for it, waiting for ever.
    if (waiting_ == Waiting::None) {
        guard_.stop();
        return;
    }
    if (received_ <= text::kReplySizeLimit && since_.elapsed() <= text::kReplyTimeLimitMs)
        return;
    giveUp(QStringLiteral("the tracker kept sending without end (%1 characters in %2 s): %3")
               .arg(received_)
               .arg(double(since_.elapsed()) / 1000.0, 0, 'f', 1)
               .arg(rows::shown(link_.engine().monitor())));
}

void PlanRun::giveUp(const QString& why)
{
    givenUp_ = why;
    replyAtOutcome_ = link_.engine().monitor();
    guard_.stop();
    link_.engine().end();
    link_.port().discardInput();
    transactionOver();
}

QString PlanRun::whatCameBack() const
{
    return givenUp_.isEmpty() ? text::whatCameBack(outcome_, replyAtOutcome_) : givenUp_;
}

void PlanRun::nextPress()
{
    if (cancelled_) {
        if (result_.signal)
            result_.cause = QStringLiteral("interrupted by %1 before command %2 of %3")
                                .arg(signalName(result_.signal))
                                .arg(result_.sent + 1)
                                .arg(result_.total);
        result_.written = bulk::writtenSoFar(plan_, result_.sent, result_.sent);
        finish(QStringLiteral("cancelled"));
        return;
    }
    if (press_ == plan_.presses.size()) {
        if (readBack_)
            readDump();
        else
            finish(QStringLiteral("done"));
        return;
    }
    const bulk::PlannedPress& press = plan_.presses[press_];
    pressStart_ = result_.sent;
    clearTransaction();
    waiting_ = Waiting::Press;
    Runner& runner = link_.runner();
    went_ = link_.engine().prologue() && (press.row ? runner.startRow(*press.row) : runner.startChain(*press.chain));
    // A refusal, or a write into a device that went away, ends the transaction at once.
    transactionOver();
}

void PlanRun::transactionOver()
{
    if (waiting_ == Waiting::None || link_.engine().timer().isActive())
        return;
    const Waiting over = std::exchange(waiting_, Waiting::None);
    guard_.stop();
    // A write into a device that went away ends the transaction at once; the port tells it later.
    if (outcome_.isEmpty() && givenUp_.isEmpty() && !replyTaken_ && !link_.port().isOpen())
        outcome_ = text::kPortLost;
    if (over == Waiting::Press)
        pressOver();
    else
        replyOver();
}

void PlanRun::pressOver()
{
    const bulk::PlannedPress& press = plan_.presses[press_];
    const int before = pressStart_;
    const int sent = result_.sent;
    if (went_ && givenUp_.isEmpty() && (outcome_.isEmpty() || outcome_ == text::kSettingOk) &&
        sent == before + press.count) {
        emit commandAcknowledged(sent - 1, result_.total, plan_.commands[sent - 1].line);
        ++press_;
        nextPress();
        return;
    }
    // Cancelled inside a chain: every command sent was acknowledged, the chain ended there.
    if (cancelled_ && went_ && givenUp_.isEmpty() && outcome_.isEmpty() && messages_.isEmpty()) {
        if (sent > before)
            emit commandAcknowledged(sent - 1, result_.total, plan_.commands[sent - 1].line);
        result_.written = bulk::writtenSoFar(plan_, sent, sent);
        finish(QStringLiteral("cancelled"));
        return;
    }
    // The command that failed: the last one sent, or the one refused before it could go (a chain
    // step refused by its builder leaves the watcher to say "Out-Time !" after its message).
    const bool refused = !went_ || (givenUp_.isEmpty() && sent < before + press.count && outcome_ == text::kOutTime &&
                                    !messages_.isEmpty() && !isVerdict(messages_.first()));
    stopAt(refused ? sent : qMax(before, sent - 1), refused);
}

void PlanRun::stopAt(int at, bool refused)
{
    const bulk::PlannedCommand& command = plan_.commands[at];
    QString cause = whatCameBack();
    QStringList refusal;
    for (const QString& m : std::as_const(messages_))
        if (!isVerdict(m))
            refusal << m;
    // A closed port also stops a press before it sends; only a builder's refusal is named as one.
    if (refused && !refusal.isEmpty())
        cause = QStringLiteral("refused before sending: %1").arg(refusal.join(QLatin1String(" / ")));
    result_.failedAt = at + 1;
    result_.failedCommand = command.line;
    result_.group = command.group;
    result_.button = command.button;
    result_.reply = refused ? QString() : replyAtOutcome_;
    result_.cause = cause;
    // "Setting Error!": the tracker answered, and not with its acknowledgement: it refused.
    result_.written = bulk::writtenSoFar(plan_, at, result_.sent,
                                         !refused && givenUp_.isEmpty() && outcome_ == text::kSettingError);
    finish(result_.signal ? QStringLiteral("cancelled") : QStringLiteral("failed"));
}

void PlanRun::readDump()
{
    if (cancelled_ && result_.action == Action::Write) {
        nextPress();   // says what was written
        return;
    }
    if (result_.action == Action::Write)
        emit readingBack();
    clearTransaction();
    waiting_ = Waiting::Reply;
    startCommand();
    const bool reset = result_.action == Action::Reset;
    result_.readSent = link_.request(reset ? Code::Initialize : Code::ReadAll, reset ? kResetCommand : kReadCommand,
                                     [this](const QString& reply) {
                                         reply_ = reply;
                                         replyTaken_ = true;
                                     });
    transactionOver();
}

void PlanRun::replyOver()
{
    const bool reset = result_.action == Action::Reset;
    QString problem;
    bulk::DumpRead dump;
    if (!replyTaken_ || !givenUp_.isEmpty()) {
        problem = whatCameBack();
    } else if (reset) {
        // The window judges by where "RESET!" stands; here any "RESET!" is the tracker's consent.
        if (!reply_.contains(QLatin1String("RESET!")))
            problem = QStringLiteral("no \"RESET!\" in the answer %1").arg(rows::shown(reply_));
    } else {
        dump = bulk::parseDump(reply_, profile_.model == bulk::Model::Condor);
        const QString wrong = !reply_.startsWith(QLatin1Char('A')) ? QStringLiteral("it is no parameter dump")
                              : dump.incomplete                    ? bulk::kIncompleteDump
                              : dump.intervalError                 ? bulk::kIntervalError
                              : dump.localTimeError                ? bulk::kLocalTimeError
                                                                   : QString();
        if (!wrong.isEmpty())
            problem = QStringLiteral("%1; the tracker answered %2").arg(wrong, rows::shown(reply_));
    }
    if (!problem.isEmpty()) {
        result_.failedAt = result_.total + 1;
        result_.failedCommand = reset ? kResetCommand : kReadCommand;
        result_.reply = replyTaken_ ? reply_ : replyAtOutcome_;
        result_.cause = problem;
        if (result_.action == Action::Write)
            result_.written = QStringLiteral("all %1 commands were acknowledged").arg(result_.total);
        else if (reset)
            result_.written = result_.readSent ? QStringLiteral("the command was sent, the tracker may have applied it")
                                               : QStringLiteral("nothing was sent");
        finish(result_.signal ? QStringLiteral("cancelled") : QStringLiteral("failed"));
        return;
    }
    result_.replyLength = int(reply_.size());
    if (reset) {
        finish(QStringLiteral("done"));
        return;
    }
    result_.readBack = true;
    result_.params = dump.params;
    result_.identity = dump.params.identity.value_or(bulk::Identity{});
    if (result_.action == Action::Read) {
        finish(QStringLiteral("done"));
        return;
    }
    // A write's verdict is the verdict a verify gives on the same tracker: every field compared.
    result_.comparison = bulk::compare(profile_, dump.params);
    finish(result_.comparison.differ.isEmpty() ? QStringLiteral("verified") : QStringLiteral("differs"));
}

void PlanRun::finish(const QString& outcome)
{
    waiting_ = Waiting::None;
    guard_.stop();
    result_.outcome = outcome;
    link_.lend(nullptr);
    link_.runner().sent = nullptr;
    link_.runner().stopChain = nullptr;
    emit finished(result_);
}

bulk::RecordEntry PlanRun::recordEntry() const
{
    bulk::RecordEntry entry;
    switch (result_.action) {
    case Action::Write: entry.action = QStringLiteral("write"); break;
    case Action::Verify: entry.action = QStringLiteral("verify"); break;
    case Action::Read: entry.action = QStringLiteral("read"); break;
    case Action::Reset: entry.action = QStringLiteral("reset"); break;
    }
    if (result_.action == Action::Write || result_.action == Action::Verify) {
        entry.model = profile_.model;
        entry.profile = profile_;
    }
    if (result_.readBack)
        entry.identity = result_.identity;
    entry.outcome = result_.outcome;
    for (const bulk::Difference& d : result_.comparison.differ)
        entry.differs << d.key;
    if (result_.failedAt > 0) {
        entry.failedAt = result_.failedAt;
        entry.failedCommand = result_.failedCommand;
        // A flood's reply is cut: the record is read line by line.
        entry.reply = result_.reply.left(kRecordReplyKeep);
    }
    entry.commandsSent = result_.commandsSent();
    return entry;
}
