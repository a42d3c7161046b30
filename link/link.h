#pragma once
#include "core/codes.h"
#include "core/rows.h"
#include "link/engine.h"
#include "link/prompt.h"
#include "link/runner.h"

#include <QString>
#include <functional>
#include <optional>

class Port;

// A tracker on one port as a run of many commands uses it: the port, the engine that watches it,
// the runner of its rows and chains, and two loans for the run's length: the engine's messages go
// to the run's prompt and the rows read the run's fields. The window is one (its boxes and message
// boxes are given back afterwards); TrackerLink is one without a window, one per port.
class Link {
public:
    virtual ~Link() = default;
    virtual Port& port() = 0;
    virtual Engine& engine() = 0;
    virtual Runner& runner() = 0;
    // Messages to `prompt` and rows fed from `fields` until lend(nullptr) gives both back.
    virtual void lend(Prompt* prompt, std::optional<rows::Fields> fields = std::nullopt) = 0;
    // After the prologue, sends `command` with `code` (ReadAll or Initialize) and hands its whole
    // reply, once judged, to `taken` instead of the link's own use of it. False when nothing went
    // out (the port is closed; the engine said so).
    virtual bool request(Code code, const QString& command, std::function<void(const QString& reply)> taken) = 0;
};

// A link with no window: the engine, the 100 ms watcher and the runner on a port it is given.
class TrackerLink : public Link {
public:
    explicit TrackerLink(Port& port);
    ~TrackerLink() override;

    Port& port() override { return port_; }
    Engine& engine() override { return engine_; }
    Runner& runner() override { return runner_; }
    void lend(Prompt* prompt, std::optional<rows::Fields> fields = std::nullopt) override;
    bool request(Code code, const QString& command, std::function<void(const QString& reply)> taken) override;

private:
    // Without a run, messages have no one to go to.
    class Nobody : public Prompt {
    public:
        void inform(const QString&) override {}
        bool ask(const QString&) override { return false; }
    };

    Port& port_;
    Nobody nobody_;
    RelayPrompt relay_{&nobody_};
    Engine engine_;
    rows::Fields fields_;
    Runner runner_;
    std::function<void(const QString&)> taker_;
};
