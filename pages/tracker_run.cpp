#include "pages/tracker_run.h"

#include "core/dump_parser.h"
#include "link/written.h"
#include "link/engine.h"
#include "link/port.h"
#include "link/runner.h"
#include "pages/form2.h"

#include <QTimer>

namespace {
constexpr QLatin1String kReadCommand("SETG");
}  // namespace

using text::isVerdict;

void TrackerRun::Recorder::inform(const QString& text)
{
    run_.messages_ << text;
    if (isVerdict(text) && run_.outcome_.isEmpty()) {
        run_.outcome_ = text;
        run_.replyAtOutcome_ = run_.form_.engine().monitor();
    }
}

bool TrackerRun::Recorder::ask(const QString& text)
{
    // The technician answered one question for the whole write; the rows' own are not asked again.
    run_.messages_ << text;
    return true;
}

TrackerRun::TrackerRun(Form2& form, QObject* parent) : QObject(parent), form_(form)
{
    // Connected after the window's own tick: when this slot runs, the tick has judged the reply,
    // and a watcher that stopped means the transaction is over (a chain's next step restarts it).
    connect(&form_.engine().timer(), &QTimer::timeout, this, &TrackerRun::transactionOver);
    connect(&form_.port(), &Port::lost, this, &TrackerRun::transactionOver, Qt::QueuedConnection);
    connect(&form_.engine(), &Engine::monitorAppended, this, [this](const QString& chunk) { received_ += chunk.size(); });
    guard_.setInterval(100);
    connect(&guard_, &QTimer::timeout, this, &TrackerRun::checkBounds);
}

void TrackerRun::startCommand()
{
    since_.start();
    received_ = 0;
    guard_.start();
}

void TrackerRun::checkBounds()
{
    // Every chunk puts the watcher's judgement off: a tracker that never stops sending would keep
    // the run, and its modal progress, waiting for ever. The same bounds as korvane-cli's.
    if (waiting_ == Waiting::None) {
        guard_.stop();
        return;
    }
    if (received_ <= text::kReplySizeLimit && since_.elapsed() <= text::kReplyTimeLimitMs)
        return;
    givenUp_ = QStringLiteral("the tracker kept sending without end (%1 characters in %2 s): %3")
                   .arg(received_)
                   .arg(double(since_.elapsed()) / 1000.0, 0, 'f', 1)
                   .arg(rows::shown(form_.engine().monitor()));
    guard_.stop();
    form_.engine().end();
    form_.port().discardInput();
    transactionOver();
}

TrackerRun::~TrackerRun()
{
    if (running()) {
        form_.lend(nullptr);
        form_.runner().sent = nullptr;
        form_.runner().stopChain = nullptr;
    }
}

void TrackerRun::begin()
{
    result_ = {};
    cancelled_ = false;
    press_ = 0;
    form_.lend(&recorder_, plan_.fields);
    form_.runner().sent = [this](Code, const QString& line) {
        startCommand();
        const int index = result_.sent++;
        emit commandSent(index, result_.total, line);
    };
    form_.runner().stopChain = [this] { return cancelled_; };
}

void TrackerRun::later(void (TrackerRun::*step)())
{
    // One turn of the event loop first, so that the progress dialog is drawn before the wire is busy.
    scheduled_ = true;
    QTimer::singleShot(0, this, [this, step] {
        scheduled_ = false;
        (this->*step)();
    });
}

void TrackerRun::write(const bulk::Profile& profile)
{
    profile_ = profile;
    plan_ = bulk::plan(profile);
    begin();
    result_.wrote = true;
    result_.total = int(plan_.commands.size());
    later(&TrackerRun::nextPress);
}

void TrackerRun::compare(const bulk::Profile& profile)
{
    profile_ = profile;
    plan_ = bulk::plan(profile);
    begin();
    later(&TrackerRun::readBack);
}

void TrackerRun::cancel()
{
    cancelled_ = true;
}

void TrackerRun::clearTransaction()
{
    messages_.clear();
    outcome_.clear();
    replyAtOutcome_.clear();
    givenUp_.clear();
    dump_.clear();
    dumpTaken_ = false;
}

void TrackerRun::nextPress()
{
    if (cancelled_) {
        result_.outcome = QStringLiteral("cancelled");
        result_.written = bulk::writtenSoFar(plan_, result_.sent, result_.sent);
        finish();
        return;
    }
    if (press_ == plan_.presses.size()) {
        readBack();
        return;
    }
    const bulk::PlannedPress& press = plan_.presses[press_];
    pressStart_ = result_.sent;
    clearTransaction();
    waiting_ = Waiting::Press;
    Runner& runner = form_.runner();
    went_ = form_.engine().prologue() && (press.row ? runner.startRow(*press.row) : runner.startChain(*press.chain));
    // A refusal, or a write into a device that went away, ends the transaction at once.
    transactionOver();
}

void TrackerRun::transactionOver()
{
    if (waiting_ == Waiting::None || form_.engine().timer().isActive())
        return;
    const Waiting over = std::exchange(waiting_, Waiting::None);
    if (over == Waiting::Press)
        pressOver();
    else
        dumpOver();
}

QString TrackerRun::whatCameBack() const
{
    return givenUp_.isEmpty() ? text::whatCameBack(outcome_, replyAtOutcome_) : givenUp_;
}

void TrackerRun::pressOver()
{
    const bulk::PlannedPress& press = plan_.presses[press_];
    const int before = pressStart_;
    const int sent = result_.sent;
    if (went_ && givenUp_.isEmpty() && (outcome_.isEmpty() || outcome_ == text::kSettingOk) &&
        sent == before + press.count) {
        ++press_;
        nextPress();
        return;
    }
    // Cancelled inside a chain: every command sent was acknowledged, the chain ended there.
    if (cancelled_ && went_ && givenUp_.isEmpty() && outcome_.isEmpty() && messages_.isEmpty()) {
        result_.outcome = QStringLiteral("cancelled");
        result_.written = bulk::writtenSoFar(plan_, sent, sent);
        finish();
        return;
    }
    // The command that failed: the last one sent, or the one refused before it could go.
    const bool refused = !went_ || (sent < before + press.count && outcome_ == text::kOutTime &&
                                    !messages_.isEmpty() && !isVerdict(messages_.first()));
    const int at = refused ? sent : qMax(before, sent - 1);
    const bulk::PlannedCommand& command = plan_.commands[at];
    QString why = whatCameBack();
    QStringList refusal;
    for (const QString& m : std::as_const(messages_))
        if (!isVerdict(m))
            refusal << m;
    // A closed port also stops a press before it sends; only a builder's refusal is named as one.
    if (refused && !refusal.isEmpty())
        why = QStringLiteral("refused before sending: %1").arg(refusal.join(QLatin1String(" / ")));
    result_.outcome = QStringLiteral("failed");
    result_.failedAt = at + 1;
    result_.failedCommand = command.line;
    result_.reply = replyAtOutcome_;
    result_.why = QStringLiteral("%1 (button %2) failed at command %3 of %4, %5: %6")
                      .arg(bulk::groupTitle(command.group), command.button)
                      .arg(at + 1)
                      .arg(result_.total)
                      .arg(rows::shown(command.line), why);
    result_.written = bulk::writtenSoFar(plan_, at, sent);
    finish();
}

void TrackerRun::readBack()
{
    if (cancelled_) {
        nextPress();   // says what was written
        return;
    }
    emit readingBack();
    clearTransaction();
    waiting_ = Waiting::Dump;
    startCommand();
    result_.readSent = form_.requestDump([this](const QString& reply) {
        dump_ = reply;
        dumpTaken_ = true;
    });
    transactionOver();
}

void TrackerRun::dumpOver()
{
    QString problem;
    bulk::DumpRead dump;
    if (!dumpTaken_) {
        problem = whatCameBack();
    } else {
        dump = bulk::parseDump(dump_, profile_.model == bulk::Model::Condor);
        const QString wrong = !dump_.startsWith(QLatin1Char('A')) ? QStringLiteral("it is no parameter dump")
                              : dump.incomplete                    ? bulk::kIncompleteDump
                              : dump.intervalError                 ? bulk::kIntervalError
                              : dump.localTimeError                ? bulk::kLocalTimeError
                                                                   : QString();
        if (!wrong.isEmpty())
            problem = QStringLiteral("%1; the tracker answered %2").arg(wrong, rows::shown(dump_));
    }
    if (!problem.isEmpty()) {
        result_.outcome = QStringLiteral("failed");
        result_.failedAt = result_.total + 1;
        result_.failedCommand = kReadCommand;
        result_.reply = dumpTaken_ ? dump_ : replyAtOutcome_;
        result_.why = QStringLiteral("reading the parameters (%1): %2").arg(kReadCommand, problem);
        if (result_.wrote)
            result_.written = QStringLiteral("all %1 commands were acknowledged").arg(result_.total);
        finish();
        return;
    }
    result_.readBack = true;
    result_.identity = dump.params.identity.value_or(bulk::Identity{});
    // A write's read-back checks what the write sent; what it passed over its question named.
    result_.comparison = bulk::compare(profile_, dump.params, result_.wrote ? plan_.passedOverKeys : QStringList{});
    result_.outcome = result_.comparison.differ.isEmpty() ? QStringLiteral("verified") : QStringLiteral("differs");
    finish();
}

void TrackerRun::finish()
{
    waiting_ = Waiting::None;
    guard_.stop();
    form_.lend(nullptr);
    form_.runner().sent = nullptr;
    form_.runner().stopChain = nullptr;
    emit finished(result_);
}
