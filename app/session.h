#pragma once
#include "bulk/plan.h"
#include "link/engine.h"
#include "link/prompt.h"
#include "core/rows.h"
#include "link/runner.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QString>
#include <QStringList>
#include <functional>

class Port;

// korvane-cli's work on one open port: the window's engine, rows, chains and parser, driven
// without a window. Every command goes out through the same Runner the window uses, and its reply
// is judged by the same rules and the same 100 ms watcher.
namespace cli {

// Exit statuses, as the manual page lists them.
enum Status {
    Done = 0,
    Differs = 1,         // verify: some field differs
    TrackerFailed = 2,   // a refusal, a wrong reply, no reply, or a reply without end
    BadInput = 3,        // a bad profile, bad arguments or an output that cannot be written; nothing was sent
    PortFailed = 4,      // the port cannot be opened, or another process has it
    OutputFailed = 5,    // the tracker was read, but the profile or report could not be written out
    Interrupted = 128,   // plus the signal's number: 130 for SIGINT, 143 for SIGTERM
};

using text::kReplySizeLimit;
using text::kReplyTimeLimitMs;

// Where the session's lines go. progress: one line per command (silenced by --quiet); error: the
// reason a run stopped, always shown.
struct Output {
    std::function<void(const QString&)> progress;
    std::function<void(const QString&)> error;
};

class Session {
public:
    Session(Port& port, Output output);
    ~Session();

    // Reads the parameter dump; Done and the parameters, or TrackerFailed with the reason given.
    int read(bulk::Model model, bulk::Params* params);
    // Writes the profile (checked by the caller); stops at the first failure and says what was
    // written before it.
    int write(const bulk::Profile& profile);
    // "Initialize ALL" without its question.
    int reset();

    // A signal asks the run to stop: the command in flight is abandoned, the run ends with
    // Interrupted + signal after saying what was written.
    void interrupt(int signal);
    int interruptedBy() const { return signal_; }

    Engine& engine() { return engine_; }

    // Where the last write stopped: the 1-based command, its line and what came back (0: it did not).
    struct Failure {
        int at = 0;
        QString command;
        QString reply;
    };
    const Failure& failure() const { return failure_; }
    int sent() const { return sent_; }

private:
    class Recorder : public Prompt {
    public:
        explicit Recorder(Session& s) : s_(s) {}
        void inform(const QString& text) override;
        bool ask(const QString& text) override;

    private:
        Session& s_;
    };

    // Sends through `start` (after the prologue) and waits until the transaction has ended.
    // False when nothing went out.
    bool transact(const std::function<bool()>& start);
    void onTick();
    void checkBounds();
    void giveUp(const QString& why);
    QString progressLine(int index, const QString& line, const QString& verdict) const;
    QString whatCameBack() const;

    Port& port_;
    Output out_;
    Recorder prompt_{*this};
    Engine engine_;
    Runner runner_;
    rows::Fields fields_;

    // The transaction under way.
    QStringList messages_;     // every message of the engine and the builders, in order
    QString outcome_;          // the engine's verdict ("Setting OK!", "Out-Time !", ...)
    QString replyAtOutcome_;   // the monitor when the verdict was given
    QString reply_;            // the whole reply of a read or reset
    QString givenUp_;          // why the session stopped waiting (a reply without end, a signal)
    QElapsedTimer since_;      // since the command went out
    qint64 received_ = 0;      // characters received since then (the monitor keeps only the newest)
    QTimer guard_;             // looks at the bounds above while a reply comes in
    std::function<void()> done_;
    int sent_ = 0;             // commands sent in this write so far
    int pressStart_ = 0;       // ... before the button now pressed
    const bulk::Plan* plan_ = nullptr;
    int signal_ = 0;
    Failure failure_;
};

}  // namespace cli
