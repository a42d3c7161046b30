#include "bulk/plan.h"
#include "core/fields.h"

#include <QMap>
#include <QSet>
#include <type_traits>

namespace bulk {

namespace {

template <class T> QString valueText(const T& v)
{
    if constexpr (std::is_same_v<T, QString>)
        return rows::shown(v);
    else if constexpr (std::is_same_v<T, bool>)
        return v ? QStringLiteral("true") : QStringLiteral("false");
    else
        return name(v);
}

// Every field present, as text, by key.
QMap<QString, QString> valuesOf(const Params& p)
{
    QMap<QString, QString> values;
    forEachField(p, [&values](const QString& key, const auto& field) {
        if (field)
            values.insert(key, valueText(*field));
    });
    return values;
}

// The texts present, by key (choices and switches are checked by their type when a profile is read).
QMap<QString, QString> textsOf(const Params& p)
{
    QMap<QString, QString> texts;
    forEachField(p, [&texts](const QString& key, const auto& field) {
        if constexpr (std::is_same_v<std::decay_t<decltype(*field)>, QString>)
            if (field)
                texts.insert(key, *field);
    });
    return texts;
}

QSet<QString> keysOf(const Params& p)
{
    QSet<QString> keys;
    forEachField(p, [&keys](const QString& key, const auto& field) {
        if (field)
            keys.insert(key);
    });
    return keys;
}

rows::Fields fieldsOf(const Profile& profile)
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

// The lines a press sends for these fields.
QStringList linesOf(const rows::Press& press, const rows::Fields& f)
{
    QStringList lines;
    const auto add = [&](const rows::Step& step) {
        if (!(step.skip && step.skip(f)))
            lines << guarded(step.build(f)).line;
    };
    if (press.row)
        add(press.row->step);
    if (press.chain)
        for (const rows::Step& step : press.chain->steps)
            add(step);
    return lines;
}

// Whether the press's commands carry the text field `key` as the fields stand: a field a press
// may go without is sent only in some states (a fence that is off sends no coordinate).
bool carried(const rows::Press& press, const rows::Fields& f, const QString& key)
{
    rows::Fields changed = f;
    bool text = false;
    forEachField(changed.params, [&](const QString& k, auto& field) {
        if constexpr (std::is_same_v<std::decay_t<decltype(*field)>, QString>)
            if (k == key && field) {
                field = *field + QStringLiteral("0");
                text = true;
            }
    });
    return !text || linesOf(press, changed) != linesOf(press, f);
}

QString pressTitle(const rows::Press& press)
{
    return press.chain ? QStringLiteral("the %1 WRITE").arg(groupTitle(press.group))
                       : QStringLiteral("its Apply");
}

bool hasFuel(Model m)
{
    return m == Model::Falcon || m == Model::Harrier;
}

// Groups (and the fuel) that only some models' windows offer, with the press that proves it.
QString offeredBy(const QString& group)
{
    return group == QLatin1String("port") ? QStringLiteral("only Condor and Falcon have")
                                          : QStringLiteral("only Harrier has");
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

Plan plan(const Profile& profile)
{
    Plan plan;
    plan.fields = fieldsOf(profile);
    const rows::Fields& f = plan.fields;
    const QSet<QString> present = keysOf(profile.params);
    QSet<QString> sent;
    for (const rows::Press& press : rows::writeOrder()) {
        if (!press.offered(profile.model))
            continue;
        const QStringList keys = rows::sentBy(press, f);
        const bool wanted = std::any_of(keys.begin(), keys.end(),
                                        [&](const QString& k) { return present.contains(k) && !sent.contains(k); });
        if (!wanted)
            continue;
        PlannedPress planned{press.group, press.row, press.chain, int(plan.commands.size()), 0};
        const auto add = [&](const rows::Step& step, const char* button) {
            if (step.skip && step.skip(f))
                return;
            plan.commands.push_back({press.group, QLatin1String(button), guarded(step.build(f)).line});
            ++planned.count;
        };
        if (press.row)
            add(press.row->step, press.row->button);
        if (press.chain)
            for (const rows::Step& step : press.chain->steps)
                add(step, press.chain->button);
        plan.presses.push_back(planned);
        QStringList optional;
        rows::sentBy(press, f, &optional);
        for (const QString& k : keys)
            if (!optional.contains(k) || carried(press, f, k))
                sent.insert(k);
    }
    forEachField(profile.params, [&](const QString& key, const auto& field) {
        if (!field || sent.contains(key))
            return;
        QString why = rows::neverWrittenWhy(key);
        if (why.isEmpty() && present.contains(key) && std::any_of(rows::writeOrder().begin(), rows::writeOrder().end(),
                                                                  [&](const rows::Press& p) {
                                                                      return p.offered(profile.model) &&
                                                                             rows::sentBy(p, f).contains(key);
                                                                  }))
            why = QStringLiteral("its command does not carry it in this state");
        if (why.isEmpty())
            why = QStringLiteral("the %1's window has no button that writes it").arg(name(profile.model));
        plan.passedOver << QStringLiteral("%1 (%2)").arg(key, why);
        plan.passedOverKeys << key;
        plan.passedOverWhy << why;
    });
    return plan;
}

QString Refusal::message() const
{
    QString m = key + QStringLiteral(": ");
    if (!missing && !value.isNull())
        m += rows::shown(value) + QLatin1Char(' ');
    m += problem;
    if (!detail.isEmpty())
        m += QStringLiteral(" (") + detail + QLatin1Char(')');
    return m;
}

QString Refusal::warning() const
{
    return QStringLiteral("%1: the tracker holds %2, which a write refuses (%3)")
        .arg(key, rows::shown(value), detail.isEmpty() ? problem : detail);
}

std::vector<Refusal> refusals(const Profile& profile)
{
    std::vector<Refusal> out;
    const Params& p = profile.params;
    const QString model = name(profile.model);
    const auto offered = [&](const QString& group) {
        for (const rows::Press& press : rows::writeOrder())
            if (press.group == group && press.offered(profile.model))
                return true;
        return false;
    };
    for (const auto& [group, present] : {std::pair{QStringLiteral("port"), p.port.has_value()},
                                         std::pair{QStringLiteral("special"), p.special.has_value()}}) {
        if (present && !offered(group))
            out.push_back({group, QString(), true, false,
                           QStringLiteral("the %1 has no %2").arg(model, groupTitle(group)), offeredBy(group)});
    }
    if (p.other && p.other->fuel && !hasFuel(profile.model))
        out.push_back({QStringLiteral("other.fuel"), QString(), true, false,
                       QStringLiteral("the %1 has no fuel sensor").arg(model), QStringLiteral("only Falcon and Harrier have")});
    // The WRITE sends the server's port only after its address: without one, the port would be
    // dropped and never verify.
    if (p.gprs && p.gprs->serverPort && !p.gprs->serverPort->isEmpty() && p.gprs->serverIp && p.gprs->serverIp->isEmpty())
        out.push_back({QStringLiteral("gprs.serverPort"), *p.gprs->serverPort, false, false,
                       QStringLiteral("has no server"), QStringLiteral("gprs.serverIp is \"\": a write sends a port only with its server")});

    const Plan planned = plan(profile);
    const rows::Fields& f = planned.fields;
    const QSet<QString> present = keysOf(p);
    const QMap<QString, QString> texts = textsOf(p);
    QSet<QString> blamed;
    const auto blame = [&](Refusal r) {
        if (blamed.contains(r.key))
            return;
        blamed.insert(r.key);
        out.push_back(std::move(r));
    };
    for (const PlannedPress& press : planned.presses) {
        const rows::Press* table = nullptr;
        for (const rows::Press& t : rows::writeOrder())
            if (t.row == press.row && t.chain == press.chain)
                table = &t;
        QStringList optional;
        const QStringList keys = rows::sentBy(*table, f, &optional);
        for (const QString& key : keys) {
            if (!present.contains(key) && !optional.contains(key))
                blame({key, QString(), true, true, QStringLiteral("missing"),
                       QStringLiteral("%1 sends it; add it, or leave out the whole %2")
                           .arg(pressTitle(*table), press.chain ? QStringLiteral("group") : QStringLiteral("row"))});
            else if (texts.contains(key))
                if (const rows::Misfit m = rows::misfit(key, texts.value(key)))
                    blame({key, texts.value(key), false, false, m.problem, m.detail});
        }
        // What the window's own builders refuse, blamed on the last field the command lacks.
        std::vector<const rows::Step*> steps;
        if (press.row)
            steps.push_back(&press.row->step);
        if (press.chain)
            for (const rows::Step& s : press.chain->steps)
                if (!(s.skip && s.skip(f)))
                    steps.push_back(&s);
        for (const rows::Step* step : steps) {
            const Draft d = guarded(step->build(f));
            if (!d.refused())
                continue;
            QString key;
            for (QString k : step->fields) {
                if (k.endsWith(QLatin1Char('?')))
                    k.chop(1);
                if (!present.contains(k) || texts.value(k, QStringLiteral("x")).isEmpty())
                    key = k;
            }
            if (key.isEmpty() && !step->fields.isEmpty())
                key = QString(step->fields.first()).remove(QLatin1Char('?'));
            const bool absent = !present.contains(key);
            blame({key, texts.value(key), absent, false, absent ? QStringLiteral("missing") : QStringLiteral("is refused"),
                   QStringLiteral("the window says \"%1\"").arg(d.refuse)});
        }
    }
    return out;
}

Comparison compare(const Profile& profile, const Params& read, const QStringList& leaveOut)
{
    Comparison c;
    const QMap<QString, QString> actual = valuesOf(profileOf(profile.model, read).params);
    // What the tracker holds after a write of the profile: an empty box is sent as its row sends it.
    Params written = profile.params;
    forEachField(written, [](const QString& key, auto& field) {
        if constexpr (std::is_same_v<std::decay_t<decltype(*field)>, QString>)
            if (field)
                field = fields::held(key, *field);
    });
    const QMap<QString, QString> expected = valuesOf(written);
    const Plan planned = plan(profile);
    // In forEachField() order, as the profile lists its fields.
    forEachField(profile.params, [&](const QString& key, const auto& field) {
        if (!field || leaveOut.contains(key))
            return;
        if (!actual.contains(key)) {
            c.unverifiable << key;
        } else if (actual.value(key) != expected.value(key)) {
            const qsizetype at = planned.passedOverKeys.indexOf(key);
            if (at < 0) {
                c.differ << Difference{key, expected.value(key), actual.value(key), QString()};
                return;
            }
            c.notWritten << Difference{key, expected.value(key), actual.value(key), planned.passedOverWhy[at]};
        }
    });
    return c;
}

}  // namespace bulk
