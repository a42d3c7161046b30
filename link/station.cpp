#include "link/station.h"

#include "bulk/record.h"
#include "core/rows.h"
#include "link/engine.h"
#include "link/link.h"
#include "link/plan_run.h"
#include "link/serial_port.h"

#include <QElapsedTimer>
#include <QTimer>

#include <csignal>

namespace station {

QString name(PortState state)
{
    switch (state) {
    case PortState::Absent: return QStringLiteral("absent");
    case PortState::Refused: return QStringLiteral("refused");
    case PortState::Asking: return QStringLiteral("asking");
    case PortState::Idle: return QStringLiteral("idle");
    case PortState::Reading: return QStringLiteral("reading");
    case PortState::Writing: return QStringLiteral("writing");
    case PortState::Waiting: return QStringLiteral("waiting");
    case PortState::Stopped: return QStringLiteral("stopped");
    }
    return {};
}

bool Tracker::passed() const
{
    return outcome == QLatin1String("verified") || outcome == QLatin1String("skipped") ||
           outcome == QLatin1String("not in values");
}

}  // namespace station

using namespace station;

namespace {

constexpr QLatin1String kVerified("verified");
constexpr QLatin1String kSkipped("skipped");
constexpr QLatin1String kNotInValues("not in values");
constexpr QLatin1String kFailed("failed");
constexpr int kKeptReply = 256;

// What stands on a port between two asks: the IMEI of the tracker that was done there, or this
// for one whose answer was no parameter dump (so that its next wrong answer says nothing again).
constexpr QLatin1String kUnreadable("\x01unreadable");

}  // namespace

struct Station::Watched {
    enum class Phase { None, Asking, Writing };

    QString name;
    std::unique_ptr<Port> port;
    std::unique_ptr<TrackerLink> link;
    std::unique_ptr<PlanRun> run;
    QTimer next;                  // the next look or ask
    PortState state = PortState::Stopped;   // until the station starts
    QString detail;
    Phase phase = Phase::None;
    QString present;              // see kUnreadable; empty: no tracker known on the port
    QString device;
    QElapsedTimer clock;          // since the identity read that found the tracker
    station::Tracker current;
    int acknowledged = 0;
};

Station::Station(station::Setup setup, PortFactory makePort, QObject* parent)
    : QObject(parent), setup_(std::move(setup)), makePort_(std::move(makePort))
{
    if (!makePort_)
        makePort_ = [](const QString& name) -> std::unique_ptr<Port> {
            auto port = std::make_unique<SerialPort>();
            if (!port->setName(name))
                return nullptr;
            return port;
        };
}

Station::~Station()
{
    for (auto& w : watched_)
        w->next.stop();
}

QStringList Station::ports() const
{
    QStringList names;
    for (const auto& w : watched_)
        names << w->name;
    return names;
}

PortState Station::state(const QString& port) const
{
    for (const auto& w : watched_)
        if (w->name == port)
            return w->state;
    return PortState::Stopped;
}

void Station::watch(const QStringList& names)
{
    for (const QString& name : names)
        add(name);
}

void Station::watchAll(DeviceLister lister)
{
    lister_ = std::move(lister);
    relist();
    if (!relistTimer_) {
        // A USB adapter plugged in while the station runs joins it.
        relistTimer_ = new QTimer(this);
        relistTimer_->setInterval(qMax(setup_.lookMs, 1) * 4);
        connect(relistTimer_, &QTimer::timeout, this, &Station::relist);
        if (running_)
            relistTimer_->start();
    }
}

void Station::relist()
{
    if (lister_ && !stopping_)
        watch(lister_());
}

void Station::add(const QString& name)
{
    if (ports().contains(name))
        return;
    std::unique_ptr<Port> port = makePort_(name);
    if (!port)
        return;
    auto w = std::make_unique<Watched>();
    Watched& ref = *w;
    w->name = name;
    w->port = std::move(port);
    w->link = std::make_unique<TrackerLink>(*w->port);
    w->link->engine().timer().setInterval(setup_.tickMs);
    w->run = std::make_unique<PlanRun>(*w->link);
    w->next.setSingleShot(true);
    connect(&w->next, &QTimer::timeout, this, [this, &ref] { look(ref); });
    connect(w->run.get(), &PlanRun::finished, this, [this, &ref](const PlanRun::Result&) {
        if (ref.phase == Watched::Phase::Asking)
            identified(ref);
        else if (ref.phase == Watched::Phase::Writing)
            written(ref);
    });
    connect(w->run.get(), &PlanRun::commandAcknowledged, this, [this, &ref](int index, int total, const QString& line) {
        ref.acknowledged = index + 1;
        emit progress(ref.name, index + 1, total, line);
    });
    connect(w->run.get(), &PlanRun::readingBack, this, [this, &ref] {
        emit progress(ref.name, ref.run->result().total, ref.run->result().total, QStringLiteral("SETG"));
    });
    // A device that goes away between two asks: whatever stood there was taken away with it. The
    // port is looked at again from now on, not at the next ask: a tracker plugged in right after is
    // found within lookMs, as a first one is.
    connect(w->port.get(), &Port::lost, this, [this, &ref] {
        if (ref.phase != Watched::Phase::None)
            return;                   // the run in flight ends with it
        ref.present.clear();
        if (stopping_ || draining_)
            return;
        setState(ref, PortState::Absent);
        schedule(ref, setup_.lookMs);
    });
    watched_.push_back(std::move(w));
    emit portAdded(name);
    emit portStateChanged(name, ref.state, {});
    if (running_ && !stopping_)
        schedule(ref, 0);
}

void Station::start()
{
    if (running_)
        return;
    running_ = true;
    stopping_ = false;
    if (!setup_.again && !setup_.record.isEmpty())
        done_ = bulk::verifiedIn(setup_.record);
    for (auto& w : watched_)
        schedule(*w, 0);
    if (relistTimer_)
        relistTimer_->start();
}

void Station::schedule(Watched& w, int ms)
{
    if (!stopping_ && !draining_)
        w.next.start(ms);
}

void Station::setState(Watched& w, PortState state, const QString& detail)
{
    if (w.state == state && w.detail == detail)
        return;
    w.state = state;
    w.detail = detail;
    emit portStateChanged(w.name, state, detail);
}

void Station::look(Watched& w)
{
    if (stopping_ || draining_ || w.phase != Watched::Phase::None)
        return;
    if (!w.port->isOpen()) {
        w.present.clear();
        if (const int failure = w.port->open()) {
            if (failure == Port::NoSuchPort)
                setState(w, PortState::Absent);
            else
                setState(w, PortState::Refused, failure == Port::AlreadyOpen ? QStringLiteral("8005 the port is busy, another program is using it")
                                                 : failure == Port::PermissionDenied ? QStringLiteral("8010 permission denied: the user is not in the dialout group")
                                                                                     : QStringLiteral("%1 the port cannot be opened").arg(failure));
            schedule(w, setup_.lookMs);
            return;
        }
        w.port->discardOutput();
        w.port->discardInput();
        w.device = w.port->openedDevice();
        setState(w, PortState::Asking);
    }
    ask(w);
}

void Station::ask(Watched& w)
{
    w.phase = Watched::Phase::Asking;
    w.clock.start();
    w.run->read(setup_.profile.model);
}

void Station::identified(Watched& w)
{
    w.phase = Watched::Phase::None;
    const PlanRun::Result r = w.run->result();
    if (stopping_ || draining_) {
        setState(w, PortState::Stopped);
        checkFinished();
        return;
    }
    if (!r.readBack) {
        if (!w.port->isOpen()) {   // the device went away
            w.present.clear();
            setState(w, PortState::Absent);
            schedule(w, setup_.lookMs);
            return;
        }
        if (r.reply.isEmpty()) {   // no answer: no tracker, or it was taken away
            w.present.clear();
            setState(w, PortState::Idle);
            schedule(w, setup_.askMs);
            return;
        }
        if (w.present == kUnreadable) {   // the same wrong answer as before
            schedule(w, setup_.askMs);
            return;
        }
    }
    const QString imei = r.readBack ? r.identity.imei.value_or(QString()) : QString();
    if (r.readBack && !w.present.isEmpty() && imei == w.present) {   // the tracker done is still there
        setState(w, PortState::Waiting);
        schedule(w, setup_.askMs);
        return;
    }

    station::Tracker t;
    t.port = w.name;
    t.device = w.device;
    t.imei = imei;
    t.hardwareVersion = r.identity.hardwareVersion.value_or(QString());
    t.softwareVersion = r.identity.softwareVersion.value_or(QString());
    t.started = QDateTime::currentDateTimeUtc();
    w.current = t;
    setState(w, PortState::Reading);
    emit trackerFound(w.name, imei);

    if (!r.readBack) {
        t.outcome = kFailed;
        t.failedCommand = r.failedCommand;
        t.reply = r.reply.left(PlanRun::kRecordReplyKeep);
        t.cause = r.cause;
        w.present = kUnreadable;
        end(w, t);
        return;
    }
    w.present = imei;
    std::optional<bulk::Profile> own = setup_.profile;
    if (setup_.values) {
        own = setup_.values->profileFor(imei, setup_.profile);
        t.ownValues = own.has_value();
        if (!own && setup_.valuesOptional)
            own = setup_.profile;
    }
    if (!own) {
        t.outcome = kNotInValues;
        end(w, t);
        return;
    }
    t.profileSha256 = bulk::profileSum(*own);
    if (!setup_.again && done_.value(imei).contains(t.profileSha256)) {
        t.outcome = kSkipped;
        end(w, t);
        return;
    }
    w.current = t;
    w.phase = Watched::Phase::Writing;
    w.acknowledged = 0;
    setState(w, PortState::Writing);
    // The run makes its plan at once and sends its first line on the next turn of the loop.
    w.run->write(*own);
    emit trackerStarted(w.name, imei, w.run->result().total);
}

void Station::written(Watched& w)
{
    w.phase = Watched::Phase::None;
    const PlanRun::Result& r = w.run->result();
    station::Tracker t = w.current;
    t.outcome = r.outcome;
    t.failedCommand = r.failedCommand;
    t.reply = r.reply.left(PlanRun::kRecordReplyKeep);
    t.cause = r.cause;
    t.written = r.written;
    t.total = r.total;
    t.acknowledged = w.acknowledged;
    for (const bulk::Difference& d : r.comparison.differ)
        t.differs << d.key;
    if (t.outcome == kVerified)
        done_[t.imei].insert(t.profileSha256);
    // Pulled out mid-write: the next tracker on this port is a new one, whatever its IMEI.
    if (!w.port->isOpen())
        w.present.clear();
    end(w, t);
}

void Station::end(Watched& w, station::Tracker t)
{
    t.seconds = double(w.clock.elapsed()) / 1000.0;

    // One record line for every tracker found, written or not.
    if (!setup_.record.isEmpty()) {
        bulk::RecordEntry entry;
        const bool wasWritten = !t.profileSha256.isEmpty() && t.outcome != kSkipped;
        if (wasWritten) {
            entry = w.run->recordEntry();
            // A write that stopped has no read-back: the identity is the one read before it.
            if (!entry.identity.imei)
                entry.identity = bulk::Identity{t.imei, t.hardwareVersion, t.softwareVersion};
        } else {
            entry.action = QStringLiteral("write");
            entry.model = setup_.profile.model;
            entry.outcome = t.outcome;
            entry.identity.imei = t.imei.isEmpty() ? std::nullopt : std::optional<QString>(t.imei);
            if (!t.imei.isEmpty()) {
                entry.identity.hardwareVersion = t.hardwareVersion;
                entry.identity.softwareVersion = t.softwareVersion;
            }
            if (t.outcome == kSkipped)
                entry.profile = setup_.values ? setup_.values->profileFor(t.imei, setup_.profile).value_or(setup_.profile)
                                              : setup_.profile;
            entry.failedCommand = t.failedCommand;
            entry.reply = t.reply.left(PlanRun::kRecordReplyKeep);
            entry.commandsSent = 1;   // the identity read
        }
        entry.program = setup_.program;
        entry.port = w.name;
        entry.device = w.device;
        entry.adapterSerial = bulk::adapterSerial(w.device);
        entry.profileFile = setup_.profileFile;
        if (const QString problem = bulk::appendRecord(setup_.record, entry); !problem.isEmpty())
            emit recordProblem(problem);
    }

    if (t.outcome == kVerified)
        ++counts_.verified;
    else if (t.outcome == QLatin1String("differs"))
        ++counts_.differs;
    else if (t.outcome == kSkipped)
        ++counts_.skipped;
    else if (t.outcome == kNotInValues)
        ++counts_.notInValues;
    else if (t.outcome == QLatin1String("cancelled"))
        ++counts_.cancelled;
    else
        ++counts_.failed;
    // A session keeps every tracker for its summary and report: a flood's reply is kept as far as
    // a report shows it, so that a long session does not grow with what trackers sent.
    t.reply.truncate(kKeptReply);
    trackers_ << t;
    emit trackerFinished(t);

    if (stopping_) {
        setState(w, PortState::Stopped);
        checkFinished();
        return;
    }
    if (setup_.count > 0 && counts_.verified >= setup_.count && !draining_) {
        // Enough: no new tracker, and those under way are written to their end, not cut short.
        draining_ = true;
        for (auto& other : watched_)
            if (other->phase != Watched::Phase::Writing)
                stop(*other);
    }
    if (draining_) {
        stop(w);
        checkFinished();
        return;
    }
    if (w.port->isOpen()) {
        setState(w, PortState::Waiting);
        schedule(w, setup_.askMs);
    } else {
        setState(w, PortState::Absent);
        schedule(w, setup_.lookMs);
    }
}

void Station::stop(int signal)
{
    if (!running_)
        return;
    const bool again = stopping_;
    stopping_ = true;
    if (!signal_)
        signal_ = signal;
    if (relistTimer_)
        relistTimer_->stop();
    for (auto& w : watched_) {
        // As a write told to stop: after the command in flight; a second signal at once.
        if (w->phase == Watched::Phase::Writing && again && signal)
            w->run->interrupt(signal);
        else if (w->phase == Watched::Phase::Writing)
            w->run->cancel();
        else
            stop(*w);   // no tracker is started any more: an identity read is of no use now
    }
    checkFinished();
}

void Station::stop(Watched& w)
{
    w.next.stop();
    if (w.phase == Watched::Phase::Asking)
        w.run->interrupt(SIGINT);   // its answer is dropped
    else if (w.phase == Watched::Phase::None)
        setState(w, PortState::Stopped);
}

void Station::checkFinished()
{
    if (!running_ || !(stopping_ || draining_))
        return;
    for (const auto& w : watched_)
        if (w->phase != Watched::Phase::None)
            return;
    running_ = false;
    for (auto& w : watched_)
        w->port->close();
    // From the event loop: the caller of stop() is often a handler of the run that just ended.
    QTimer::singleShot(0, this, &Station::finished);
}

QString Station::statusLine(const station::Tracker& t)
{
    QString line = QStringList{t.port, t.imei.isEmpty() ? QStringLiteral("-") : rows::visible(t.imei, 40), t.outcome,
                               QStringLiteral("%1 s").arg(t.seconds, 0, 'f', 1)}
                       .join(QLatin1String("  "));
    QString detail;
    if (t.outcome == QLatin1String("differs"))
        detail = QStringLiteral("read back otherwise: %1").arg(t.differs.join(QLatin1String(", ")));
    else if (t.outcome == kSkipped)
        detail = QStringLiteral("already verified with these settings");
    else if (!t.failedCommand.isEmpty())
        detail = QStringLiteral("%1: %2").arg(rows::shown(t.failedCommand), t.cause);
    else if (!t.cause.isEmpty())
        detail = t.cause;
    if (!t.written.isEmpty() && !t.passed())
        detail += (detail.isEmpty() ? QString() : QStringLiteral("; ")) + t.written;
    if (!detail.isEmpty())
        line += QLatin1String("  ") + detail;
    return line;
}

QStringList Station::summary() const
{
    const Counts& c = counts_;
    QStringList lines;
    lines << QStringLiteral("%1 tracker(s): %2 verified, %3 failed, %4 differ, %5 cancelled, %6 skipped (already done), "
                            "%7 not in values")
                 .arg(c.found())
                 .arg(c.verified)
                 .arg(c.failed)
                 .arg(c.differs)
                 .arg(c.cancelled)
                 .arg(c.skipped)
                 .arg(c.notInValues);
    for (const station::Tracker& t : trackers_)
        if (!t.passed())
            lines << statusLine(t);
    return lines;
}

int Station::exitStatus() const
{
    return counts_.verified == counts_.started() ? 0 : 1;
}

QList<bulk::ReportRow> Station::reportRows() const
{
    QList<bulk::ReportRow> rows;
    for (const station::Tracker& t : trackers_)
        rows << bulk::ReportRow{t.started.addMSecs(qint64(t.seconds * 1000)), t.port, t.imei, t.outcome,
                                t.failedCommand, t.seconds, t.reply};
    return rows;
}
