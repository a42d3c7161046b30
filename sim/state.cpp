#include "sim/state.h"

#include "core/dump_parser.h"
#include "bulk/plan.h"
#include "bulk/profile.h"

namespace sim {

QString loadState(Tracker& tracker, const QByteArray& bytes)
{
    if (bytes.startsWith('A')) {
        const bulk::DumpRead read = bulk::parseDump(QString::fromLatin1(bytes), true);
        if (read.incomplete || read.intervalError || read.localTimeError)
            return QStringLiteral("the dump is incomplete or out of format");
        bulk::overlay(tracker.params(), read.params);
        return {};
    }
    const bulk::ProfileRead read = bulk::parseProfile(bytes, bulk::Check::Structure);
    if (!read.profile)
        return QStringLiteral("neither a parameter dump (it starts with \"A\") nor a profile: %1").arg(read.error);
    Tracker copy = tracker;
    for (const bulk::PlannedCommand& command : bulk::plan(*read.profile).commands) {
        if (command.line.isEmpty())
            continue;   // a value the window refuses to send
        const QString reply = copy.handle(command.line);
        if (!reply.endsWith(QLatin1String("OK!")))
            return QStringLiteral("the tracker refuses %1 (%2)").arg(command.line, reply);
    }
    tracker = copy;
    return {};
}

}  // namespace sim
