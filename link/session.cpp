#include "link/session.h"

#include "bulk/dump_parser.h"
#include "link/port.h"

#include <QEventLoop>
#include <QMap>
#include <type_traits>

namespace cli {

namespace {

using bulk::Model;

constexpr QLatin1String kReadCommand("SETG");
constexpr QLatin1String kResetCommand("SET10");

// The engine's verdicts on a transaction; every other message is a builder's note or refusal.
bool isVerdict(const QString& text)
{
    return text == text::kSettingOk || text == text::kSettingError || text == text::kOutTime ||
           text == text::kPortLost || text == text::kOpenPort;
}

// A text as a message shows it: quoted, control characters visible.
QString shown(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (out.size() > 120)
        out = out.left(120) + QStringLiteral("... (%1 characters)").arg(text.size());
    return QLatin1Char('"') + out + QLatin1Char('"');
}

template <class T> QString valueText(const T& v)
{
    if constexpr (std::is_same_v<T, QString>)
        return QLatin1Char('"') + v + QLatin1Char('"');
    else if constexpr (std::is_same_v<T, bool>)
        return v ? QStringLiteral("true") : QStringLiteral("false");
    else
        return bulk::name(v);
}

// Every field present, as text, by key.
QMap<QString, QString> valuesOf(const bulk::Params& p)
{
    QMap<QString, QString> values;
    bulk::forEachField(p, [&values](const QString& key, const auto& field) {
        if (field)
            values.insert(key, valueText(*field));
    });
    return values;
}

// Keys of `group` the profile leaves out although `write` has to send them.
QString missing(const bulk::Params& p, const QString& group, const QStringList& needed, const QString& why)
{
    const QMap<QString, QString> present = valuesOf(p);
    for (const QString& field : needed) {
        const QString key = group + QLatin1Char('.') + field;
        if (!present.contains(key))
            return key + QStringLiteral(": missing; %1: add it, or leave the whole group out").arg(why);
    }
    return {};
}

bool shakeInChain(const rows::Fields& f)
{
    const rows::Chain& other = *rows::chain(QStringLiteral("Command1"));
    for (const rows::Step& step : other.steps)
        if (step.code == Code::OtherChainShake)
            return !(step.skip && step.skip(f));
    return false;
}

rows::Fields fieldsOf(const bulk::Profile& profile)
{
    rows::Fields f;
    f.model = profile.model;
    f.params = profile.params;
    // The window's two check boxes of the other-settings frame: a profile that holds the field wants
    // its step.
    f.writeFuel = profile.params.other && profile.params.other->fuel.has_value();
    f.writePassword = profile.params.other && profile.params.other->password.has_value();
    return f;
}

}  // namespace

QString groupTitle(const QString& group)
{
    static const QMap<QString, QString> titles = {
        {QStringLiteral("gprs"), QStringLiteral("GPRS")},
        {QStringLiteral("telephones"), QStringLiteral("telephone numbers")},
        {QStringLiteral("other"), QStringLiteral("other settings")},
        {QStringLiteral("port"), QStringLiteral("port functions")},
        {QStringLiteral("special"), QStringLiteral("special functions")},
        {QStringLiteral("fences"), QStringLiteral("geo-fences")},
    };
    return titles.value(group, group);
}

// ---- the plan -----------------------------------------------------------------------------------

Plan plan(const bulk::Profile& profile)
{
    Plan plan;
    plan.fields = fieldsOf(profile);
    const rows::Fields& f = plan.fields;
    const bulk::Params& p = profile.params;

    const auto add = [&plan, &f](const QString& group, const rows::Row* row, const rows::Chain* chain) {
        PlannedPress press{group, row, chain, int(plan.commands.size()), 0};
        const auto addStep = [&](const rows::Step& step, const char* button) {
            plan.commands.push_back({group, QLatin1String(button), guarded(step.build(f)).line});
            ++press.count;
        };
        if (row)
            addStep(row->step, row->button);
        for (const rows::Step& step : chain ? chain->steps : std::vector<rows::Step>{})
            if (!(step.skip && step.skip(f)))
                addStep(step, chain->button);
        plan.presses.push_back(press);
    };
    const auto pressRow = [&add](const QString& group, const char* button) {
        add(group, rows::row(QLatin1String(button)), nullptr);
    };
    const auto pressChain = [&add](const QString& group, const char* button) {
        add(group, nullptr, rows::chain(QLatin1String(button)));
    };

    if (p.gprs)
        pressChain(QStringLiteral("gprs"), "Command2");
    if (p.telephones) {
        pressChain(QStringLiteral("telephones"), "Command4");
        for (int slot = 6; slot <= 8; ++slot)
            if (p.telephones->number[slot - 1])
                plan.passedOver << QStringLiteral("telephones.%1 (the window writes numbers 1 to 5)").arg(slot);
    }
    if (p.other) {
        pressChain(QStringLiteral("other"), "Command1");
        // The chain sends the shake step only for some models; its own row writes it for the rest.
        if (p.other->shakeStep && !shakeInChain(f))
            pressRow(QStringLiteral("other"), "Command39");
    }
    if (p.port) {
        const QString group = QStringLiteral("port");
        if (p.port->doorLevel)
            pressRow(group, "Command34");
        if (p.port->armFunction)
            pressRow(group, "Command35");
        if (profile.model == Model::Condor && p.port->lineFunction)
            pressChain(group, "Command36");
        else if (p.port->lineFunction)
            plan.passedOver << QStringLiteral("port.lineFunction (only the Condor has a line function command)");
    }
    if (p.special) {
        const QString group = QStringLiteral("special");
        if (p.special->lockType)
            pressRow(group, "Command47");
        if (p.special->doorLevel)
            pressRow(group, "Command51");
        if (p.special->inputTel)
            pressRow(group, "Command48");
        if (p.special->sosOutTel)
            pressRow(group, "Command49");
    }
    if (p.fences) {
        static const char* const buttons[] = {"Command29", "Command30", "Command31", "Command32", "Command33"};
        for (int n = 0; n < 5; ++n) {
            const bulk::Fence& fence = p.fences->fence[n];
            if (fence.on || fence.side || fence.coordinate)
                pressRow(QStringLiteral("fences"), buttons[n]);
        }
    }
    return plan;
}

QString checkWritable(const bulk::Profile& profile)
{
    const bulk::Params& p = profile.params;
    if (p.gprs) {
        if (QString e = missing(p, QStringLiteral("gprs"),
                                {QStringLiteral("apn"), QStringLiteral("apnUser"), QStringLiteral("apnPassword"),
                                 QStringLiteral("serverIp"), QStringLiteral("serverPort"),
                                 QStringLiteral("httpAddress"), QStringLiteral("httpPort"),
                                 QStringLiteral("interval")},
                                QStringLiteral("the GPRS WRITE sends every field of the frame"));
            !e.isEmpty())
            return e;
    }
    if (p.telephones) {
        if (QString e = missing(p, QStringLiteral("telephones"),
                                {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                                 QStringLiteral("5")},
                                QStringLiteral("the telephone WRITE sends numbers 1 to 5, and an absent one "
                                               "would delete the tracker's"));
            !e.isEmpty())
            return e;
    }
    if (p.other) {
        QStringList needed = {QStringLiteral("lowBattery"), QStringLiteral("overSpeed"), QStringLiteral("localHours"),
                              QStringLiteral("localMinutes"), QStringLiteral("displacement"),
                              QStringLiteral("odometer")};
        if (shakeInChain(fieldsOf(profile)))
            needed << QStringLiteral("shakeStep");
        if (QString e = missing(p, QStringLiteral("other"), needed,
                                QStringLiteral("the other-settings WRITE sends it (only fuel and password may be "
                                               "left out, and then their steps are)"));
            !e.isEmpty())
            return e;
    }
    if (p.port) {
        if ((p.port->armFunction || (profile.model == Model::Condor && p.port->lineFunction)) &&
            (!p.port->armFunction || !p.port->armLevel)) {
            const QString key = p.port->armFunction ? QStringLiteral("port.armLevel") : QStringLiteral("port.armFunction");
            return key + QStringLiteral(": missing; the arm command (also the first step of the line function) "
                                        "sends the arm function with its level");
        }
    }
    if (p.fences) {
        for (int n = 1; n <= 5; ++n) {
            const bulk::Fence& fence = p.fences->fence[n - 1];
            if (!fence.on && !fence.side && !fence.coordinate)
                continue;
            if (!fence.on || !fence.side)
                return QStringLiteral("fences.%1.%2: missing; the fence's Apply sends its switch and its side")
                    .arg(n)
                    .arg(fence.on ? QStringLiteral("side") : QStringLiteral("on"));
        }
    }
    return {};
}

Comparison compare(const bulk::Profile& profile, const bulk::Params& read)
{
    Comparison c;
    const QMap<QString, QString> actual = valuesOf(bulk::windowForm(read));
    const QMap<QString, QString> expected = valuesOf(profile.params);
    // In forEachField() order, as the profile lists its fields.
    bulk::forEachField(profile.params, [&](const QString& key, const auto& field) {
        if (!field)
            return;
        if (!actual.contains(key))
            c.unverifiable << key;
        else if (actual.value(key) != expected.value(key))
            c.differ << Difference{key, expected.value(key), actual.value(key)};
    });
    return c;
}

// ---- the session --------------------------------------------------------------------------------

void Session::Recorder::inform(const QString& text)
{
    s_.messages_ << text;
    if (isVerdict(text) && s_.outcome_.isEmpty()) {
        s_.outcome_ = text;
        s_.replyAtOutcome_ = s_.engine_.monitor();
    }
}

bool Session::Recorder::ask(const QString& text)
{
    // The window asks before some commands; a profile has already been checked, so the answer is OK.
    s_.messages_ << text;
    return true;
}

Session::Session(Port& port, Output output)
    : port_(port), out_(std::move(output)), engine_(port, prompt_), runner_(engine_, [this] { return fields_; })
{
    engine_.timer().setInterval(100);   // the window's watcher
    QObject::connect(&port_, &Port::notified, &engine_, &Engine::receive);
    QObject::connect(&port_, &Port::lost, &engine_, &Engine::portLost);
    QObject::connect(&engine_.timer(), &QTimer::timeout, &engine_, &Engine::tick);
    // After the engine's own tick: a transaction that has ended stops the watcher.
    QObject::connect(&engine_.timer(), &QTimer::timeout, &engine_, [this] { onTick(); });
    QObject::connect(&port_, &Port::lost, &engine_, [this] { onTick(); }, Qt::QueuedConnection);

    runner_.registerAll();
    engine_.setRule(Code::ReadAll, [this](const QString& reply) {
        reply_ = reply;
        engine_.end();
    });
    engine_.setRule(Code::Initialize, [this](const QString& reply) {
        reply_ = reply;
        engine_.end();
    });
    runner_.sent = [this](Code, const QString& line) {
        Q_UNUSED(line);
        if (!plan_)
            return;
        // Inside a chain a command goes out once the one before it was acknowledged.
        if (sent_ > pressStart_)
            out_.progress(progressLine(sent_ - 1, plan_->commands[sent_ - 1].line, QStringLiteral("OK")));
        ++sent_;
    };
}

Session::~Session()
{
    engine_.timer().stop();
    port_.disconnect(&engine_);
}

void Session::onTick()
{
    if (!engine_.timer().isActive() && done_)
        done_();
}

bool Session::transact(const std::function<bool()>& start)
{
    messages_.clear();
    outcome_.clear();
    replyAtOutcome_.clear();
    reply_.clear();
    if (!engine_.prologue())
        return false;
    if (!start())
        return false;
    if (engine_.timer().isActive()) {
        QEventLoop loop;
        done_ = [&loop] { loop.quit(); };
        loop.exec();
        done_ = nullptr;
    }
    // A write into a device that went away ends the transaction at once; the port tells it later.
    if (outcome_.isEmpty() && !port_.isOpen())
        outcome_ = text::kPortLost;
    return true;
}

QString Session::progressLine(int index, const QString& line, const QString& verdict) const
{
    const int total = plan_ ? int(plan_->commands.size()) : 1;
    return QStringLiteral("[%1/%2] %3... %4").arg(index + 1).arg(total).arg(line, verdict);
}

QString Session::whatCameBack() const
{
    if (outcome_ == text::kOutTime)
        return replyAtOutcome_.isEmpty() ? QStringLiteral("no answer within 2.1 s (Out-Time !)")
                                         : QStringLiteral("no answer after %1 (Out-Time !)").arg(shown(replyAtOutcome_));
    if (outcome_ == text::kSettingError)
        return QStringLiteral("the tracker answered %1 (Setting Error!)").arg(shown(replyAtOutcome_));
    if (outcome_ == text::kPortLost)
        return QStringLiteral("the port went away (%1)").arg(outcome_);
    if (!outcome_.isEmpty())
        return outcome_;
    return QStringLiteral("no answer");
}

int Session::read(bulk::Model model, bulk::Params* params)
{
    transact([this] {
        engine_.send(Code::ReadAll, kReadCommand);
        return true;
    });
    if (!outcome_.isEmpty() || reply_.isEmpty()) {
        out_.progress(progressLine(0, kReadCommand, QStringLiteral("failed")));
        out_.error(QStringLiteral("reading the parameters (%1): %2").arg(kReadCommand, whatCameBack()));
        return TrackerFailed;
    }
    const bulk::DumpRead dump = bulk::parseDump(reply_, model == Model::Condor);
    const QString problem = !reply_.startsWith(QLatin1Char('A')) ? QStringLiteral("it is no parameter dump")
                            : dump.incomplete                    ? bulk::kIncompleteDump
                            : dump.intervalError                 ? bulk::kIntervalError
                            : dump.localTimeError                ? bulk::kLocalTimeError
                                                                 : QString();
    if (!problem.isEmpty()) {
        out_.progress(progressLine(0, kReadCommand, QStringLiteral("failed")));
        out_.error(QStringLiteral("reading the parameters (%1): %2; the tracker answered %3")
                       .arg(kReadCommand, problem, shown(reply_)));
        return TrackerFailed;
    }
    out_.progress(progressLine(0, kReadCommand, QStringLiteral("OK (%1 characters)").arg(reply_.size())));
    *params = dump.params;
    return Done;
}

int Session::reset()
{
    transact([this] {
        engine_.send(Code::Initialize, kResetCommand);
        return true;
    });
    // The window judges by where "RESET!" stands; here any "RESET!" is the tracker's consent.
    if (!outcome_.isEmpty() || !reply_.contains(QLatin1String("RESET!"))) {
        out_.progress(progressLine(0, kResetCommand, QStringLiteral("failed")));
        out_.error(QStringLiteral("resetting (%1): %2").arg(kResetCommand,
                                                           outcome_.isEmpty()
                                                               ? QStringLiteral("no \"RESET!\" in the answer %1").arg(shown(reply_))
                                                               : whatCameBack()));
        return TrackerFailed;
    }
    out_.progress(progressLine(0, kResetCommand, QStringLiteral("OK")));
    return Done;
}

QString Session::writtenSoFar(const Plan& plan, int acknowledged) const
{
    if (acknowledged == 0)
        return QStringLiteral("nothing was written");
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
        if (done[group] < planned[group]) {
            QStringList lines;
            for (int i = 0; i < acknowledged; ++i)
                if (plan.commands[i].group == group)
                    lines << plan.commands[i].line;
            part += QStringLiteral(" (%1)").arg(lines.join(QLatin1String(", ")));
        }
        parts << part;
    }
    return QStringLiteral("already written: %1 of %2 commands: %3")
        .arg(acknowledged)
        .arg(plan.commands.size())
        .arg(parts.join(QLatin1String("; ")));
}

int Session::write(const bulk::Profile& profile)
{
    const Plan p = plan(profile);
    fields_ = p.fields;
    plan_ = &p;
    sent_ = 0;
    for (const QString& field : p.passedOver)
        out_.progress(QStringLiteral("not written: %1").arg(field));
    for (const PlannedPress& press : p.presses) {
        const int before = pressStart_ = sent_;
        const bool went = transact([this, &press] {
            return press.row ? runner_.startRow(*press.row) : runner_.startChain(*press.chain);
        });
        const bool ok = went && (outcome_.isEmpty() || outcome_ == text::kSettingOk) && sent_ == before + press.count;
        if (ok) {
            out_.progress(progressLine(sent_ - 1, p.commands[sent_ - 1].line, QStringLiteral("OK")));
            continue;
        }
        // The command that failed: the last one sent, or the one refused before it could go.
        const bool refused = !went || (sent_ < before + press.count && outcome_ == text::kOutTime &&
                                       !messages_.isEmpty() && !isVerdict(messages_.first()));
        const int at = refused ? sent_ : qMax(before, sent_ - 1);
        const PlannedCommand& command = p.commands[at];
        QString why;
        if (refused) {
            QStringList notVerdicts;
            for (const QString& m : messages_)
                if (!isVerdict(m))
                    notVerdicts << m;
            why = QStringLiteral("refused before sending: %1").arg(notVerdicts.join(QLatin1String(" / ")));
        } else {
            why = whatCameBack();
        }
        out_.progress(progressLine(at, command.line, QStringLiteral("failed")));
        out_.error(QStringLiteral("%1 (%2, button %3) failed at command %4 of %5, %6: %7")
                       .arg(groupTitle(command.group), command.group, command.button)
                       .arg(at + 1)
                       .arg(p.commands.size())
                       .arg(command.line, why));
        out_.error(writtenSoFar(p, at));
        plan_ = nullptr;
        return TrackerFailed;
    }
    plan_ = nullptr;
    return Done;
}

}  // namespace cli
