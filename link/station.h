#pragma once
#include "bulk/profile.h"
#include "bulk/report.h"
#include "bulk/values.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Port;
class QTimer;

// A provisioning station: many ports watched side by side in one thread, one engine and one run
// of a plan (link/plan_run.h) per port. On each port a tracker is found, its identity read, its own
// values added to the profile, written, read back and verified, and recorded; then the port waits
// for the next tracker. The run judges every command; the station only decides what to run next on
// which port, and tells it. korvane-cli's station command and the window's Station dialog show the
// same signals.
//
// Finding a tracker: a watched port whose device is missing is looked at every `lookMs` (a cheap
// check that the device exists: a USB adapter plugged in, a simulator linked). Once the device is
// there it is opened and asked for its identity ("SETG") at once. A port whose tracker does not
// answer, or whose tracker is done, is asked again `askMs` after the last answer or Out-Time: an
// adapter that stays plugged in while the tracker behind it is swapped shows no device event, so
// only asking finds the next tracker. An answer with the IMEI already on that port is the same
// tracker still connected and says nothing; no answer means it was taken away; another IMEI is a
// new tracker.
namespace station {

// What a port is doing, for a live list.
enum class PortState {
    Absent,     // the device is not there; looked for every lookMs
    Refused,    // the device is there but cannot be opened (busy, no permission): `detail` says why
    Asking,     // open; its identity read is in flight (no tracker known yet)
    Idle,       // open; no tracker answered: asked again every askMs
    Reading,    // a tracker answered: its identity is read (IMEI, versions)
    Writing,    // written, read back and verified: progress() tells the commands
    Waiting,    // its tracker is done (any outcome); asked every askMs for the next one
    Stopped,    // not started yet, or the station stopped: nothing goes out on this port
};
QString name(PortState state);   // "absent", "refused", "asking", ...

// How a tracker ended. The words are the report's and the status line's.
//   verified       written, read back, every field as the profile (with its own values) says
//   differs        written, but the read-back differs
//   failed         a command refused or not answered, the tracker pulled out, a reply without end;
//                  also an identity read answered by something that is no parameter dump
//   cancelled      stopped by stop() (Ctrl-C, SIGTERM) before its end
//   skipped        already verified with the same settings (IMEI and the profile's sum), in this
//                  session or in the record; not written (unless `again`)
//   not in values  its IMEI has no row in the values file; not written (unless `valuesOptional`)
struct Tracker {
    QString port;               // as given: "COM4", "/dev/ttyUSB2"
    QString device;             // the device that name opened (ports folder's link followed)
    QString imei;               // as read; empty when the identity read failed
    QString hardwareVersion;
    QString softwareVersion;
    QString outcome;
    bool ownValues = false;     // a values row was added to the profile
    QString profileSha256;      // of the profile written (with its own values), hex
    // With failed or cancelled: the command (its line, without "\r\n"), what came back and why,
    // and what a write that stopped left on the tracker.
    QString failedCommand;
    QString reply;              // cut: the first 256 characters in trackers() and trackerFinished()
    QString cause;
    QString written;
    QStringList differs;        // with differs: the keys read back otherwise
    int acknowledged = 0;       // commands of the write acknowledged
    int total = 0;              // commands of the write
    QDateTime started;          // UTC, when it answered its identity read
    double seconds = 0;         // from its identity read to its end

    bool passed() const;        // verified or skipped or not in values: nothing for a person to do
};

struct Counts {
    int verified = 0, differs = 0, failed = 0, cancelled = 0, skipped = 0, notInValues = 0;
    int found() const { return verified + differs + failed + cancelled + skipped + notInValues; }
    int started() const { return verified + differs + failed + cancelled; }   // written (or tried)
};

struct Setup {
    bulk::Profile profile;       // checked whole (bulk::validate, bulk::refusals) by the caller
    QString profileFile;         // for the record
    std::optional<bulk::Values> values;   // checked whole (bulk::parseValues) by the caller
    bool valuesOptional = false; // a tracker with no row is written with the profile alone
    bool again = false;          // write trackers already verified with the same settings
    QString record;              // the record file ("" none); also read for trackers already done
    QString program = QStringLiteral("korvane-cli");
    int count = 0;               // > 0: stop once this many trackers were verified
    int lookMs = 500;            // a missing device is looked for this often
    int askMs = 2000;            // pause between identity reads of an idle or waiting port
    int tickMs = 100;            // the engines' watcher (tests make it faster)
};

}  // namespace station

class Station : public QObject {
    Q_OBJECT
public:
    // Makes the port for a name ("COM4", "/dev/ttyUSB2"); nullptr when the name is no port. The
    // default makes a SerialPort.
    using PortFactory = std::function<std::unique_ptr<Port>(const QString& name)>;
    // The serial devices the system lists now (--all): listed again every lookMs, new ones watched.
    using DeviceLister = std::function<QStringList()>;

    explicit Station(station::Setup setup, PortFactory makePort = {}, QObject* parent = nullptr);
    ~Station() override;

    // Ports to watch: added before start() or while running. A name watched already is ignored.
    void watch(const QStringList& names);
    void watchAll(DeviceLister lister);
    void start();
    // No new tracker is started; each write in flight stops after the command in flight (its
    // tracker ends "cancelled", naming what was written); identity reads in flight are dropped.
    // A signal's number names it in the outcome. A second stop(signal) abandons the commands in
    // flight at once. finished() follows once no write is left.
    void stop(int signal = 0);

    bool running() const { return running_; }
    int signal() const { return signal_; }
    QStringList ports() const;
    station::PortState state(const QString& port) const;
    const station::Counts& counts() const { return counts_; }
    const QList<station::Tracker>& trackers() const { return trackers_; }   // in the order they ended

    // The status line of a tracker, as korvane-cli prints it and a log keeps it:
    //   "COM4  864000000000042  verified  2.7 s"
    //   "COM4  864000000000042  failed  1.3 s  SETA2,5550002: no answer within 2.1 s (Out-Time !); already written: ..."
    // Tracker text with its control characters escaped.
    static QString statusLine(const station::Tracker& t);
    // The summary: counts per outcome, then each tracker that did not pass, one line each.
    QStringList summary() const;
    // 0 when every tracker started was verified, 1 otherwise.
    int exitStatus() const;
    // One report row per tracker, in the order they ended (korvane-cli --report, the window's
    // Save Report...): bulk::writeReport() writes them.
    QList<bulk::ReportRow> reportRows() const;

signals:
    // A port joined the watch (from watch() or a new device under --all).
    void portAdded(const QString& port);
    // A port's state changed; `detail` is the reason with Refused ("8005 busy ..."), else empty.
    void portStateChanged(const QString& port, station::PortState state, const QString& detail);
    // A tracker answered its identity read on `port`; `imei` empty when the answer was no dump.
    void trackerFound(const QString& port, const QString& imei);
    // Its write begins: `total` commands, then the read-back.
    void trackerStarted(const QString& port, const QString& imei, int total);
    // A command of the write went out (`acknowledged` so far of `total`) with its line; `line`
    // "SETG" with acknowledged == total is the read-back.
    void progress(const QString& port, int acknowledged, int total, const QString& line);
    // The tracker ended, whatever the outcome (skipped and not in values included); its record
    // line has been appended by now. counts() already includes it.
    void trackerFinished(const station::Tracker& tracker);
    // The station stopped (stop(), or `count` verified: then the writes under way were written to
    // their end) and no port has anything in flight; the ports are closed.
    void finished();
    // The record could not be written (the outcome stays what it was): a warning for people.
    void recordProblem(const QString& warning);

private:
    struct Watched;
    void add(const QString& name);
    void look(Watched& w);
    void ask(Watched& w);
    void identified(Watched& w);
    void written(Watched& w);
    void end(Watched& w, station::Tracker t);
    void setState(Watched& w, station::PortState state, const QString& detail = {});
    void schedule(Watched& w, int ms);
    bool alreadyDone(const QString& imei, const QString& sum) const;
    void stop(Watched& w);   // nothing new on this port
    void checkFinished();
    void relist();

    station::Setup setup_;
    PortFactory makePort_;
    DeviceLister lister_;
    std::vector<std::unique_ptr<Watched>> watched_;
    QHash<QString, QSet<QString>> done_;   // IMEI -> sums verified (record and this session)
    QList<station::Tracker> trackers_;
    station::Counts counts_;
    bool running_ = false;
    bool stopping_ = false;
    bool draining_ = false;   // `count` verified: the writes under way end, nothing new starts
    int signal_ = 0;
    QTimer* relistTimer_ = nullptr;
};
