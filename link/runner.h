#pragma once
#include "core/rows.h"

#include <functional>

class Engine;

// Runs rows and chains on the engine: the draft's question, notes and refusal, the send step, and
// the reply rules that judge a row or move a chain on. The fields are read when each command goes
// out.
class Runner {
public:
    using FieldSource = std::function<rows::Fields()>;
    Runner(Engine& engine, FieldSource fields);

    // The reply rules of every row and chain step.
    void registerAll();

    // After the prologue: one row's command, or a chain's first step that is not passed over.
    // False when nothing went out (Cancel on the question, or a refusal). A refused chain ends the
    // transaction: a code left pending would let stray text fire the chain later.
    bool startRow(const rows::Row& row);
    bool startChain(const rows::Chain& chain);

    // Called just before a step's fields are read (the window fills an empty odometer box here).
    std::function<void(Code)> beforeStep;
    // Told of every line that goes out, with the step's code.
    std::function<void(Code, const QString&)> sent;
    // Asked once a chain step is acknowledged, before the next one goes out: true ends the
    // transaction there without a message (a Write All cancelled stops after the command in flight).
    std::function<bool()> stopChain;

private:
    bool dispatch(const rows::Step& step);
    void next(const rows::Chain& chain, size_t done);
    Draft draft(const rows::Step& step);

    Engine& engine_;
    FieldSource fields_;
};
