#pragma once
#include <QString>

// The window's message boxes: an OK-only message, or a question with OK and Cancel.
class Prompt {
public:
    virtual ~Prompt() = default;
    virtual void inform(const QString& text) = 0;
    virtual bool ask(const QString& text) = 0;   // true for OK
};

// Passes every message on to another prompt, which can be changed meanwhile: the window's engine
// talks to this one, and a run of many commands puts its own recorder behind it.
class RelayPrompt : public Prompt {
public:
    explicit RelayPrompt(Prompt* to) : to_(to) {}
    void setTarget(Prompt* to) { to_ = to; }
    void inform(const QString& text) override { to_->inform(text); }
    bool ask(const QString& text) override { return to_->ask(text); }

private:
    Prompt* to_;
};
