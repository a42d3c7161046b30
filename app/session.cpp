#include "app/session.h"

namespace cli {

Session::Session(Port& port, Output output) : link_(port), run_(link_), out_(std::move(output))
{
    QObject::connect(&run_, &PlanRun::commandAcknowledged, &run_, [this](int index, int total, const QString& line) {
        out_.progress(progressLine(index, total, line, QStringLiteral("OK")));
    });
    QObject::connect(&run_, &PlanRun::readingBack, &run_, [this] {
        if (out_.written)
            out_.written();
    });
}

QString Session::progressLine(int index, int total, const QString& line, const QString& verdict) const
{
    return QStringLiteral("[%1/%2] %3... %4").arg(index + 1).arg(qMax(total, 1)).arg(rows::visible(line), verdict);
}

int Session::read(bulk::Model model)
{
    run_.read(model);
    return ended();
}

int Session::write(const bulk::Profile& profile, bool readBack)
{
    // The run makes its plan at once and sends its first line only on the next turn of the loop.
    run_.write(profile, readBack);
    for (const QString& field : run_.plan().passedOver)
        out_.progress(QStringLiteral("not written: %1").arg(field));
    return ended();
}

int Session::verify(const bulk::Profile& profile)
{
    run_.verify(profile);
    return ended();
}

int Session::reset()
{
    run_.reset();
    return ended();
}

int Session::ended()
{
    const PlanRun::Result& r = run_.wait();
    const bool interrupted = r.signal != 0 && r.outcome == QLatin1String("cancelled");
    const QString verdict = interrupted ? QStringLiteral("interrupted") : QStringLiteral("failed");
    const bool reset = r.action == PlanRun::Action::Reset;
    if (r.outcome == QLatin1String("done") || r.outcome == QLatin1String("verified") ||
        r.outcome == QLatin1String("differs")) {
        if (r.action == PlanRun::Action::Write && !r.readSent && out_.written)
            out_.written();
        if (r.readBack)
            out_.progress(progressLine(0, 1, QStringLiteral("SETG"), QStringLiteral("OK (%1 characters)").arg(r.replyLength)));
        else if (reset)
            out_.progress(progressLine(0, 1, QStringLiteral("SET10"), QStringLiteral("OK")));
        return r.outcome == QLatin1String("differs") ? Differs : Done;
    }
    const int status = interrupted ? Interrupted + r.signal : TrackerFailed;
    if (r.failedAt == 0) {   // stopped between two commands
        out_.error(r.cause.isEmpty() ? r.written : r.cause);
        if (!r.cause.isEmpty())
            out_.error(r.written);
        return status;
    }
    if (r.failedAt > r.total) {   // the read, the read-back or the reset
        out_.progress(progressLine(0, 1, r.failedCommand, verdict));
        const QString what = reset ? QStringLiteral("resetting") : QStringLiteral("reading the parameters");
        if (reset && interrupted)
            out_.error(QStringLiteral("%1 (%2): %3; %4").arg(what, r.failedCommand, r.cause, r.written));
        else
            out_.error(QStringLiteral("%1 (%2): %3").arg(what, r.failedCommand, r.cause));
        return status;
    }
    out_.progress(progressLine(r.failedAt - 1, r.total, r.failedCommand, verdict));
    out_.error(QStringLiteral("%1 (%2, button %3) %4 at command %5 of %6, %7: %8")
                   .arg(bulk::groupTitle(r.group), r.group, r.button, verdict)
                   .arg(r.failedAt)
                   .arg(r.total)
                   .arg(rows::shown(r.failedCommand), r.cause));
    out_.error(r.written);
    return status;
}

}  // namespace cli
