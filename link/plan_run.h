#pragma once
#include "bulk/plan.h"
#include "bulk/profile.h"
#include "bulk/record.h"
#include "link/prompt.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class Link;

// The one run of a plan: a profile written to a tracker press after press in the window's order,
// read back and compared; or a tracker read, verified or reset. It is the only code that judges a
// press, bounds a reply, tells where a run stopped and what was already written, and fills the
// record's line. korvane-cli, the window's Write All and Compare, and the station are front-ends
// that show its progress and its result. It keeps nothing outside itself: one per link, as many
// links at once as there are ports.
class PlanRun : public QObject {
    Q_OBJECT
public:
    enum class Action { Write, Verify, Read, Reset };

    struct Result {
        Action action = Action::Write;
        // "verified", "differs", "done" (read, reset, a write without read-back), "failed",
        // "cancelled" (Cancel, or a signal: then `signal` says which).
        QString outcome;
        int signal = 0;
        int total = 0;               // commands of the plan
        int sent = 0;                // ... of them sent
        bool readSent = false;       // the read's "SETG" (or the reset's "SET10") went out
        // With "failed" and "cancelled" by a signal: the 1-based command (total + 1: the read-back),
        // its line, its press's group and button, what came back and why, for people.
        int failedAt = 0;
        QString failedCommand;
        QString group;
        QString button;
        QString reply;
        QString cause;               // "no answer within 2.1 s (Out-Time !)", "refused before sending: ..."
        QString written;             // what a stopped write left on the tracker
        int replyLength = 0;         // characters of the read's or reset's whole reply
        bool readBack = false;       // a dump was read and judged
        bulk::Params params;         // ... and what it held
        bulk::Identity identity;
        bulk::Comparison comparison;

        bool failed() const { return outcome == QLatin1String("failed"); }
        int commandsSent() const { return sent + (readSent ? 1 : 0); }
    };

    explicit PlanRun(Link& link, QObject* parent = nullptr);
    ~PlanRun() override;

    // Each starts the run and returns at once; finished() tells its end. The profile of a write
    // must have been checked (bulk::validate); `readBack` false leaves the read-back out.
    void write(const bulk::Profile& profile, bool readBack = true);
    void verify(const bulk::Profile& profile);
    void read(bulk::Model model);
    void reset();
    // Runs the started run to its end in a local event loop (korvane-cli).
    const Result& wait();

    // Stops after the command in flight: no further command goes out.
    void cancel();
    // Abandons the command in flight at once (a signal to the program): the run ends "cancelled",
    // naming the command and what was already written.
    void interrupt(int signal);

    bool running() const { return waiting_ != Waiting::None || scheduled_; }
    const bulk::Plan& plan() const { return plan_; }
    const Result& result() const { return result_; }

    // The record's line of the run that ended; the front-end adds who it is and where.
    bulk::RecordEntry recordEntry() const;

    static QString signalName(int signal);
    static constexpr int kRecordReplyKeep = 4096;   // characters of a reply a record line keeps

signals:
    // A command went out: its place in the plan (0-based) and its line.
    void commandSent(int index, int total, const QString& line);
    // ... and was acknowledged.
    void commandAcknowledged(int index, int total, const QString& line);
    void readingBack();
    void finished(const PlanRun::Result& result);

private:
    enum class Waiting { None, Press, Reply };

    class Recorder : public Prompt {
    public:
        explicit Recorder(PlanRun& run) : run_(run) {}
        void inform(const QString& text) override;
        bool ask(const QString& text) override;

    private:
        PlanRun& run_;
    };

    void begin(Action action, const bulk::Profile& profile);
    void nextPress();
    void readDump();
    void transactionOver();
    void pressOver();
    void replyOver();
    void stopAt(int at, bool refused);
    void finish(const QString& outcome);
    void clearTransaction();
    QString whatCameBack() const;
    void later(void (PlanRun::*step)());
    void startCommand();
    void checkBounds();
    void giveUp(const QString& why);

    Link& link_;
    Recorder recorder_{*this};
    bulk::Profile profile_;
    bulk::Plan plan_;
    bool readBack_ = true;
    Result result_;
    Waiting waiting_ = Waiting::None;
    bool scheduled_ = false;
    bool cancelled_ = false;
    size_t press_ = 0;
    int pressStart_ = 0;
    bool went_ = false;

    // The transaction under way.
    QStringList messages_;     // every message of the engine and the builders, in order
    QString outcome_;          // the engine's verdict ("Setting OK!", "Out-Time !" ...)
    QString replyAtOutcome_;   // the monitor when the verdict was given
    QString reply_;            // the whole reply of a read or reset
    bool replyTaken_ = false;
    QString givenUp_;          // why the run stopped waiting (a reply without end, a signal)
    QTimer guard_;
    QElapsedTimer since_;      // since the command went out
    qint64 received_ = 0;      // characters received since then (the monitor keeps only the newest)
};
