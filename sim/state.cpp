#include "sim/state.h"

#include "core/dump_parser.h"
#include "bulk/plan.h"
#include "bulk/profile.h"

namespace sim {

namespace {

// The fields of `wanted` that the tracker's own dump does not give back as they are.
QStringList notHeld(const bulk::Params& wanted, const Tracker& tracker)
{
    const QStringList held = bulk::describe(bulk::parseDump(tracker.dump(true), true).params);
    const QStringList given = bulk::describe(wanted);
    QStringList out;
    for (const QString& field : given)
        if (!held.contains(field))
            out << field;
    return out;
}

}  // namespace

QString loadState(Tracker& tracker, const QByteArray& bytes)
{
    if (bytes.startsWith('A')) {
        const bulk::DumpRead read = bulk::parseDump(QString::fromLatin1(bytes), true);
        if (read.incomplete || read.intervalError || read.localTimeError)
            return QStringLiteral("the dump is incomplete or out of format");
        // Every field exactly, or the state is refused: a value quietly altered would be a state
        // that no tracker was in.
        if (!read.inexact.isEmpty())
            return QStringLiteral("the dump holds what cannot be kept exactly: %1")
                .arg(read.inexact.join(QLatin1String(", ")));
        Tracker copy = tracker;
        bulk::overlay(copy.params(), read.params);
        if (const QStringList lost = notHeld(read.params, copy); !lost.isEmpty())
            return QStringLiteral("the simulated tracker cannot hold %1").arg(lost.join(QLatin1String(", ")));
        tracker = copy;
        return {};
    }
    // A profile as a write takes it: checked whole, and refused as a write refuses it.
    const bulk::ProfileRead read = bulk::parseProfile(bytes, bulk::Check::Writable);
    if (!read.profile)
        return QStringLiteral("neither a parameter dump (it starts with \"A\") nor a writable profile: %1")
            .arg(read.error);
    if (const std::vector<bulk::Refusal> refused = bulk::refusals(*read.profile); !refused.empty())
        return QStringLiteral("a write refuses this profile: %1").arg(refused.front().message());
    const bulk::Plan plan = bulk::plan(*read.profile);
    if (!plan.passedOver.isEmpty())
        return QStringLiteral("a write of this profile would not send %1").arg(plan.passedOver.join(QLatin1String(", ")));
    Tracker copy = tracker;
    for (const bulk::PlannedCommand& command : plan.commands) {
        const QString reply = copy.handle(command.line);
        if (!reply.endsWith(QLatin1String("OK!")))
            return QStringLiteral("the tracker refuses %1 (%2)").arg(command.line, reply);
    }
    tracker = copy;
    return {};
}

}  // namespace sim
