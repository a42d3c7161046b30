#include "link/runner.h"
#include "link/engine.h"

Runner::Runner(Engine& engine, FieldSource fields) : engine_(engine), fields_(std::move(fields)) {}

Draft Runner::draft(const rows::Step& step)
{
    if (beforeStep)
        beforeStep(step.code);
    return guarded(step.build(fields_()));
}

bool Runner::dispatch(const rows::Step& step)
{
    const Draft d = draft(step);
    if (!d.ask.isEmpty() && !engine_.ask(d.ask))
        return false;
    for (const QString& note : d.notes)
        engine_.inform(note);
    if (d.refused()) {
        engine_.inform(d.refuse);
        return false;
    }
    engine_.send(step.code, d.line);
    if (sent)
        sent(step.code, d.line);
    return true;
}

bool Runner::startRow(const rows::Row& row)
{
    return dispatch(row.step);
}

bool Runner::startChain(const rows::Chain& chain)
{
    const rows::Fields f = fields_();
    for (const rows::Step& step : chain.steps) {
        if (step.skip && step.skip(f))
            continue;
        if (dispatch(step))
            return true;
        engine_.end();
        return false;
    }
    return false;
}

void Runner::next(const rows::Chain& chain, size_t done)
{
    const rows::Step& acknowledged = chain.steps[done];
    if (done + 1 == chain.steps.size()) {
        engine_.acknowledge(acknowledged.ack);
        return;
    }
    engine_.chain(acknowledged.ack, [this, &chain, done] {
        if (stopChain && stopChain()) {
            engine_.end();
            return;
        }
        const rows::Fields f = fields_();
        for (size_t i = done + 1; i < chain.steps.size(); ++i) {
            const rows::Step& step = chain.steps[i];
            if (step.skip && step.skip(f))
                continue;
            // A refused step shows its message and leaves the watcher running: "Out-Time !" follows.
            const Draft d = draft(step);
            for (const QString& note : d.notes)
                engine_.inform(note);
            if (d.refused()) {
                engine_.inform(d.refuse);
                return;
            }
            engine_.send(step.code, d.line);
            if (sent)
                sent(step.code, d.line);
            return;
        }
        engine_.end();   // every later step passed over: nothing more to send
    });
}

void Runner::registerAll()
{
    for (const rows::Row& row : rows::allRows()) {
        const QString ack = row.step.ack;
        engine_.setRule(row.step.code, [this, ack](const QString&) { engine_.acknowledge(ack); });
    }
    for (const rows::Chain& chain : rows::allChains())
        for (size_t i = 0; i < chain.steps.size(); ++i)
            engine_.setRule(chain.steps[i].code, [this, &chain, i](const QString&) { next(chain, i); });
}
