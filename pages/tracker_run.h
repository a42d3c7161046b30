#pragma once
#include "bulk/plan.h"
#include "bulk/profile.h"
#include "link/prompt.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class Form2;

// Write All and Compare with Tracker: a whole profile sent through the window's own engine, rows
// and chains, press after press in the plan's order, and the parameter dump read back and compared.
// The engine's messages of each command are kept here instead of shown; the caller shows one
// summary at the end.
class TrackerRun : public QObject {
    Q_OBJECT
public:
    // What came of a run, as the summary and the record tell it.
    struct Result {
        QString outcome;             // "verified", "differs", "failed", "cancelled"
        bool wrote = false;          // a write (else a compare)
        int total = 0;               // commands of the plan
        int sent = 0;                // of them sent
        int failedAt = 0;            // 1-based, with "failed"; total + 1 for the read-back
        QString failedCommand;
        QString reply;               // with "failed": what came back
        QString why;                 // with "failed": the reason, for people
        QString written;             // what a stopped write left on the tracker
        bool readSent = false;       // the read-back's "SETG" went out
        bool readBack = false;       // the dump was read and judged
        bulk::Identity identity;
        bulk::Comparison comparison;
    };

    explicit TrackerRun(Form2& form, QObject* parent = nullptr);
    ~TrackerRun() override;

    // The port must be open and the profile checked (bulk::validate).
    void write(const bulk::Profile& profile);
    void compare(const bulk::Profile& profile);
    // Stops a write after the command in flight: no further command goes out.
    void cancel();
    bool running() const { return waiting_ != Waiting::None || scheduled_; }
    const bulk::Plan& plan() const { return plan_; }

signals:
    // A command went out: its place in the plan (0-based) and its line.
    void commandSent(int index, int total, const QString& line);
    void readingBack();
    void finished(const TrackerRun::Result& result);

private:
    enum class Waiting { None, Press, Dump };

    class Recorder : public Prompt {
    public:
        explicit Recorder(TrackerRun& run) : run_(run) {}
        void inform(const QString& text) override;
        bool ask(const QString& text) override;

    private:
        TrackerRun& run_;
    };

    void begin();
    void nextPress();
    void readBack();
    void transactionOver();
    void pressOver();
    void dumpOver();
    void finish();
    void clearTransaction();
    QString whatCameBack() const;
    void later(void (TrackerRun::*step)());
    void startCommand();
    void checkBounds();

    Form2& form_;
    Recorder recorder_{*this};
    bulk::Profile profile_;
    bulk::Plan plan_;
    Result result_;
    Waiting waiting_ = Waiting::None;
    bool scheduled_ = false;
    bool cancelled_ = false;
    size_t press_ = 0;
    int pressStart_ = 0;
    bool went_ = false;

    // The transaction under way.
    QStringList messages_;
    QString outcome_;          // the engine's verdict
    QString replyAtOutcome_;
    QString dump_;
    bool dumpTaken_ = false;
    QTimer guard_;
    QElapsedTimer since_;
    qint64 received_ = 0;
    QString givenUp_;          // why the run stopped waiting for a reply
};
