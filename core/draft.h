#pragma once
#include <QString>
#include <QStringList>

// A command as a page builds it from the field texts: an optional OK/Cancel question first
// (Cancel abandons), then OK-only notes after which it is still sent, then either a refusal (shown,
// nothing sent) or the line to send. Built by plain functions, so command tests need no widget.
struct Draft {
    QString ask;
    QStringList notes;
    QString refuse;
    QString line;

    static Draft send(QString line) { Draft d; d.line = std::move(line); return d; }
    static Draft refusal(QString message) { Draft d; d.refuse = std::move(message); return d; }
    bool refused() const { return !refuse.isEmpty(); }
    bool operator==(const Draft&) const = default;
};

// A carriage return or line feed inside a field would split one command into two on the tracker.
inline const QString kLineBreakRefusal = QStringLiteral("PLS Remove The Line Break From The Input");

// The draft as it may go out: refused when its line holds a line break.
inline Draft guarded(Draft d)
{
    if (!d.refused() && (d.line.contains(QLatin1Char('\r')) || d.line.contains(QLatin1Char('\n')))) {
        d.ask.clear();
        d.notes.clear();
        d.refuse = kLineBreakRefusal;
        d.line.clear();
    }
    return d;
}
