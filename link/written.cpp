#include "link/written.h"

#include <QMap>

namespace bulk {

QString writtenSoFar(const Plan& plan, int acknowledged, int sent, bool refused)
{
    if (acknowledged == 0 && sent == 0)
        return QStringLiteral("nothing was written: no command was sent");
    if (acknowledged == 0 && refused)
        return QStringLiteral("nothing was written: the tracker refused the first command, %1")
            .arg(rows::shown(plan.commands[0].line));
    if (acknowledged == 0)
        return QStringLiteral("no command was acknowledged; the tracker may have applied %1")
            .arg(rows::shown(plan.commands[0].line));
    QMap<QString, int> planned, done;
    QStringList order;
    for (int i = 0; i < int(plan.commands.size()); ++i) {
        const QString& group = plan.commands[i].group;
        if (!order.contains(group))
            order << group;
        ++planned[group];
        if (i < acknowledged)
            ++done[group];
    }
    QStringList parts;
    for (const QString& group : order) {
        if (!done.value(group))
            continue;
        QString part = QStringLiteral("%1 %2 of %3").arg(groupTitle(group)).arg(done[group]).arg(planned[group]);
        // A group left half-written names the lines that went, so that nobody has to guess which.
        if (done[group] < planned[group]) {
            QStringList lines;
            for (int i = 0; i < acknowledged; ++i)
                if (plan.commands[i].group == group)
                    lines << rows::visible(plan.commands[i].line);
            part += QStringLiteral(" (%1)").arg(lines.join(QLatin1String(", ")));
        }
        parts << part;
    }
    QString written = QStringLiteral("already written: %1 of %2 commands: %3")
                          .arg(acknowledged)
                          .arg(plan.commands.size())
                          .arg(parts.join(QLatin1String("; ")));
    if (sent > acknowledged && refused)
        written += QStringLiteral("; refused by the tracker: %1").arg(rows::shown(plan.commands[sent - 1].line));
    else if (sent > acknowledged)
        written += QStringLiteral("; sent without acknowledgement, perhaps applied: %1")
                       .arg(rows::shown(plan.commands[sent - 1].line));
    return written;
}

}  // namespace bulk
