#pragma once
#include "link/port.h"
#include "link/prompt.h"

#include <QHash>
#include <QStringList>
#include <functional>

// A port whose wire is a list of written lines and whose tracker is the test.
class FakePort : public Port {
    Q_OBJECT
public:
    QStringList written;                 // every write, "\r\n" included
    QList<int> opened;                   // the COM number of every successful open, in order
    QHash<int, int> openFailures;        // COM number -> failure number of open()
    int closeFailure = 0;
    int discards = 0;
    bool failWrites = false;

    void setNumber(int n) override { if (!open_ && n >= 1 && n <= 9) number_ = n; }
    int number() const override { return number_; }
    int open() override;
    int close() override;
    bool isOpen() const override { return open_; }
    void discardOutput() override { ++discards; }
    void discardInput() override { ++discards; pending_.clear(); }
    bool write(const QString& text) override;
    QString readAll() override { QString t = pending_; pending_.clear(); return t; }

    void deliver(const QString& chunk) { pending_ += chunk; emit notified(Received); }
    void lineEvent(int event) { emit notified(event); }
    void pull();                         // the device goes away while open

private:
    int number_ = 1;
    bool open_ = false;
    QString pending_;
};

// Message boxes answered by the test: every text shown is recorded in order; questions take the
// next scripted answer (OK when none is left).
class ScriptedPrompt : public Prompt {
public:
    QStringList shown;                   // questions are recorded with a leading "? "
    QList<bool> answers;
    std::function<void(const QString&)> whileOpen;   // runs while a box "is open"

    void inform(const QString& text) override;
    bool ask(const QString& text) override;
};
