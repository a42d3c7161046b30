#pragma once
#include "bulk/profile.h"
#include "link/engine.h"
#include "link/prompt.h"
#include "link/rows.h"
#include "link/runner.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class Port;

// korvane-cli's work on one open port: the window's engine, rows, chains and parser, driven
// without a window. Every command goes out through the same Runner the window uses, and its reply
// is judged by the same rules and the same 100 ms watcher.
namespace cli {

// Exit statuses, as the manual page lists them.
enum Status {
    Done = 0,
    Differs = 1,         // verify: some field differs
    TrackerFailed = 2,   // a refusal, a wrong reply or no reply
    BadInput = 3,        // a bad profile or bad arguments; nothing was sent
    PortFailed = 4,      // the port cannot be opened, or another process has it
};

// Where the session's lines go. progress: one line per command (silenced by --quiet); error: the
// reason a run stopped, always shown.
struct Output {
    std::function<void(const QString&)> progress;
    std::function<void(const QString&)> error;
};

// One command of a write as planned before anything is sent.
struct PlannedCommand {
    QString group;       // the profile's group key: "gprs", "telephones", "other", ...
    QString button;      // the window's button that sends it ("Command2" for the GPRS WRITE)
    QString line;        // the command as it goes out, without "\r\n"
};

// One press of a button: a row's "Apply" or a frame's "WRITE".
struct PlannedPress {
    QString group;
    const rows::Row* row = nullptr;
    const rows::Chain* chain = nullptr;
    int first = 0;       // index of its first command in the plan
    int count = 0;
};

struct Plan {
    rows::Fields fields;
    std::vector<PlannedPress> presses;
    std::vector<PlannedCommand> commands;
    QStringList passedOver;   // fields of the profile that no button of the model's window writes
};

// The buttons a write of `profile` presses, in the window's order: the GPRS WRITE (Command2), the
// telephone WRITE (Command4), the other-settings WRITE (Command1, with the fuel and password steps
// when the profile holds those fields, then the shake row Command39 when the chain passes over a
// shake step the profile holds), the port rows Command34 and Command35 and, on Condor, the chain
// Command36, the test-frame rows Command47, Command51, Command48, Command49, and the fence rows
// Command29..Command33. A row whose fields the profile leaves out is not pressed. The line
// function of a model other than Condor and telephone numbers 6 to 8 (which no button writes) are
// passed over and named in `passedOver`.
Plan plan(const bulk::Profile& profile);

// Empty when every group of the profile can be written; else "key: reason". A chain sends every
// field of its frame, so a group written by a chain must hold them all: the window always has a
// text in each box, a profile may not, and an absent field would go out as an empty box (a
// telephone number deleted, an odometer set to zero).
QString checkWritable(const bulk::Profile& profile);

// A field of a profile that verify compares with the tracker's.
struct Difference {
    QString key;
    QString expected;    // in the profile
    QString actual;      // read back; "(not read)" when the tracker's dump does not carry it
};

struct Comparison {
    QList<Difference> differ;
    QStringList unverifiable;   // keys the dump never carries (other.fuel, port.doorLevel ...)
};

// The fields of `profile` against the parameters read from a tracker of the same model.
Comparison compare(const bulk::Profile& profile, const bulk::Params& read);

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

    Engine& engine() { return engine_; }

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
    QString progressLine(int index, const QString& line, const QString& verdict) const;
    QString whatCameBack() const;
    QString writtenSoFar(const Plan& plan, int acknowledged) const;

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
    std::function<void()> done_;
    int sent_ = 0;             // commands sent in this write so far
    int pressStart_ = 0;       // ... before the button now pressed
    const Plan* plan_ = nullptr;
};

// A profile's group keys as the messages name them.
QString groupTitle(const QString& group);

}  // namespace cli
