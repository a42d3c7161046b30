#pragma once
#include "core/codes.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class Port;
class Prompt;

// The transaction engine: one command written, its reply watched by a 100 ms timer and judged by
// the rule of the pending operation code. Its whole state is the four values the window's handlers
// share: pending code, tick counter, reply-received flag and the receive monitor (the text as
// received; the Text24 widget is only a view of it).
class Engine : public QObject {
    Q_OBJECT
public:
    // A rule judges the reply of one pending code. It ends the transaction, or runs the next step
    // of a chain (prepare() and send() again).
    using Rule = std::function<void(const QString& reply)>;

    Engine(Port& port, Prompt& prompt, QObject* parent = nullptr);

    Code code() const { return code_; }
    quint8 ticks() const { return ticks_; }
    bool replied() const { return replied_; }
    const QString& monitor() const { return monitor_; }
    QTimer& timer() { return timer_; }

    void setRule(Code code, Rule rule);

    // The first steps of every sending handler: false (after "PLS Open COMM Port") when the port is
    // closed; else the port buffers are discarded, the monitor emptied and the flag cleared.
    bool prologue();
    void prepare();                           // prologue steps 2-4, also each chain step
    void setCode(Code code) { code_ = code; }
    // Send step: pending code, one write of command + "\r\n", watcher on, tick counter 0.
    void send(Code code, const QString& command);
    void end();                               // pending code 0, flag false, watcher off

    void tick();                              // one tick of the watcher (Timer1), then ticked()
    void receive(int event);                  // a notification of the port
    void portLost();                          // the open device went away

    // Reply rules shared by the pages.
    void acknowledge(const QString& token);   // whole monitor == token: "Setting OK!", else "Setting Error!"
    // Chain rule: whole monitor == token runs the next step (after prepare()), else "Setting Error!".
    void chain(const QString& token, const std::function<void()>& next);

    void inform(const QString& text);
    bool ask(const QString& text);

    void replaceMonitor(const QString& text); // e.g. a failure number after a failed open
    void clearMonitor();

    static constexpr int kMonitorKeep = 1 << 20;   // characters kept of a tracker that never stops

signals:
    // After every tick, judged or not: a run of many commands looks whether its transaction ended.
    void ticked();
    void monitorReplaced(const QString& text);
    void monitorAppended(const QString& chunk);

private:
    void judge();

    Port& port_;
    Prompt& prompt_;
    QTimer timer_;
    QHash<quint8, Rule> rules_;
    QString monitor_;
    Code code_ = Code::Idle;
    quint8 ticks_ = 0;
    bool replied_ = false;
    int modal_ = 0;
};

namespace text {
// A run of many commands (korvane-cli, the window's Write All) gives up on a reply after this
// long, or once this much has arrived, since its command went out: far above the slowest valid
// reply (a dump in chunks, judged 300 ms after its last one) and the longest (a dump stays below
// 32,767 characters), so that only a tracker that never stops sending reaches them.
constexpr int kReplyTimeLimitMs = 15000;
constexpr int kReplySizeLimit = 65536;
inline const QString kOk = QStringLiteral(" OK!");
inline const QString kSettingOk = QStringLiteral("Setting OK!");
inline const QString kSettingError = QStringLiteral("Setting Error!");
inline const QString kOutTime = QStringLiteral("Out-Time !");
inline const QString kOpenPort = QStringLiteral("PLS Open COMM Port");
inline const QString kPortLost = QStringLiteral("Port Lost! Check The Cable And Open It Again");

// Whether a message is the engine's verdict on a transaction; every other one is a builder's note
// or refusal. A run of many commands collects the messages and tells them once at its end.
bool isVerdict(const QString& message);
// What came back, for people: the verdict, and the reply the monitor held when it was given.
QString whatCameBack(const QString& verdict, const QString& reply);
}  // namespace text
