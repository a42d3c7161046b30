// The tracker's parameters and the window's controls: one function shows a value in the controls,
// one reads it back from them.
#include "core/dump_parser.h"
#include "bulk/profile.h"
#include "link/engine.h"
#include "pages/form2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <string_view>

namespace {

using namespace bulk;

// The order is that of a read of the dump, so that a read's messages come at their points and the
// option buttons whose handlers re-caption other controls run before the controls they touch:
// numbers, GPRS texts, odometer, interval unit and text, displacement, shake step, the special
// options, HTTP, identity, fence texts, switches (each check box before its caption) and sides,
// port options (line function, arm function, then its level), the over-speed line with its off
// flags, password and local time; the fuel and the port's door level, which no dump holds, last.
// Every field the window has a box for is here once (Form2::startupProblems).
const char* const kShowOrder[] = {
    "telephones.1", "telephones.2", "telephones.3", "telephones.4", "telephones.5", "telephones.6",
    "telephones.7", "telephones.8",
    "gprs.apn", "gprs.apnUser", "gprs.apnPassword", "gprs.serverIp", "gprs.serverPort",
    "other.odometer",
    "gprs.intervalUnit", "gprs.interval",
    "other.displacement", "other.shakeStep",
    "special.doorLevel", "special.inputTel", "special.sosOutTel", "special.lockType",
    "gprs.httpAddress", "gprs.httpPort",
    "identity.imei", "identity.hardwareVersion", "identity.softwareVersion",
    "fences.1.coordinate", "fences.2.coordinate", "fences.3.coordinate", "fences.4.coordinate", "fences.5.coordinate",
    // A check box's own handler flips its caption; the caption set right after is the one that stays.
    "fences.5.on", "fences.4.on", "fences.3.on", "fences.2.on", "fences.1.on",
    "fences.5.side", "fences.4.side", "fences.3.side", "fences.2.side", "fences.1.side",
    "port.lineFunction", "port.armFunction", "port.armLevel",
    "other.overSpeed",
    "other.lowBattery", "other.password", "other.localHours",
    "other.localMinutes", "other.fuel",
    "port.doorLevel",
};

template <class M> using ValueOf = typename std::remove_pointer_t<std::invoke_result_t<M, Params&, bool>>::value_type;

const fields::Field& fieldOf(const char* key)
{
    return *fields::field(QLatin1String(key));   // every key is one (Form2::startupProblems)
}

}  // namespace

void Form2::showParams(const bulk::DumpRead& read)
{
    // The on-switches are shown as their texts ("000", "00%"), at the points of those texts.
    Params p = windowForm(read.params);
    for (const char* key : kShowOrder) {
        const fields::Field& f = fieldOf(key);
        std::visit(
            [&](auto member) {
                const auto* value = member(p, false);
                if (!value || !*value)
                    return;
                using T = ValueOf<decltype(member)>;
                const QString& box = f.boxes.first();
                const T& v = **value;
                if constexpr (std::is_same_v<T, QString>) {
                    setTxt(box, v);
                } else if constexpr (std::is_same_v<T, bool>) {
                    setChecked(box, v);
                    setCaption(box, v ? QStringLiteral("ON") : QStringLiteral("OFF"));
                } else if constexpr (std::is_same_v<T, FenceSide>) {
                    setChecked(box, v == FenceSide::In);
                    setCaption(box, v == FenceSide::In ? QStringLiteral("IN") : QStringLiteral("OUT"));
                } else if (int(v) < f.boxes.size()) {
                    select(f.boxes[int(v)]);
                }
            },
            f.member);

        // What a read does between two fields.
        const std::string_view k(key);
        if (k == "gprs.intervalUnit" && read.intervalError)
            engine_->inform(kIntervalError);
        if (k == "port.armFunction" && p.port && p.port->armFunction == ArmFunction::Pulse)
            visible(QStringLiteral("Frame9"), false);   // also when Pulse was selected already
        // An interval that is off has no unit, whichever was selected before.
        if (k == "other.overSpeed" && read.params.gprs && read.params.gprs->intervalOn == false)
            for (const QString& unit : fieldOf("gprs.intervalUnit").boxes)
                deselect(unit);
        if (k == "other.localHours" && read.localTimeError)
            engine_->inform(kLocalTimeError);
    }
    if (read.incomplete)
        engine_->inform(kIncompleteDump);
}

void Form2::showParams(const bulk::Params& params)
{
    bulk::DumpRead read;
    read.params = params;
    showParams(read);
}

bulk::Params Form2::readParams() const
{
    Params p;
    for (const fields::Field& f : fields::all()) {
        if (f.boxes.isEmpty())
            continue;
        std::visit(
            [&](auto member) {
                using T = ValueOf<decltype(member)>;
                std::optional<T>& value = *member(p, true);
                const QString& box = f.boxes.first();
                if constexpr (std::is_same_v<T, QString>) {
                    value = txt(box);
                } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, FenceSide>) {
                    // The captions are what the fence commands send.
                    const QString shown = caption(box);
                    const bool isBool = std::is_same_v<T, bool>;
                    const QLatin1String first(isBool ? "ON" : "IN"), second(isBool ? "OFF" : "OUT");
                    if (shown == first || shown == second)
                        value = T(isBool ? shown == first : shown != first);
                } else {
                    // The choice whose option is selected; none selected: absent.
                    for (int i = 0; i < f.boxes.size(); ++i)
                        if (selected(f.boxes[i]))
                            value = T(i);
                }
            },
            f.member);
    }
    return p;
}

QStringList Form2::startupProblems(const std::vector<fields::Field>& table) const
{
    QStringList out = fields::problems(table);
    QHash<QString, const fields::Field*> byKey;
    for (const fields::Field& f : table) {
        byKey.insert(f.key, &f);
        std::visit(
            [&](auto member) {
                using T = ValueOf<decltype(member)>;
                for (const QString& box : f.boxes) {
                    QWidget* w = controls_.value(box);
                    const bool fits = std::is_same_v<T, QString>
                                          ? qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)
                                                || qobject_cast<QComboBox*>(w)
                                      : std::is_same_v<T, bool> || std::is_same_v<T, FenceSide>
                                          ? qobject_cast<QCheckBox*>(w) != nullptr
                                          : qobject_cast<QRadioButton*>(w) != nullptr;
                    if (!w)
                        out << QStringLiteral("%1: the window has no control %2").arg(f.key, box);
                    else if (!fits)
                        out << QStringLiteral("%1: %2 is no control for its kind of value").arg(f.key, box);
                }
            },
            f.member);
        if (!f.label.isEmpty() && !qobject_cast<QLabel*>(controls_.value(f.label)))
            out << QStringLiteral("%1: the window has no label %2").arg(f.key, f.label);
    }
    QStringList shown;
    int dump = 0;
    for (const char* key : kShowOrder) {
        const fields::Field* f = byKey.value(QLatin1String(key));
        if (!f || f->boxes.isEmpty())
            out << QStringLiteral("%1: shown, but no field with a box").arg(QLatin1String(key));
        else if (int(f->dump) < dump)
            out << QStringLiteral("%1: shown before a field the dump carries ahead of it").arg(QLatin1String(key));
        else
            dump = int(f->dump);
        shown << QLatin1String(key);
    }
    for (const fields::Field& f : table)
        if (!f.boxes.isEmpty() && shown.count(f.key) != 1)
            out << QStringLiteral("%1: shown %2 times by a read (pages/params_view.cpp)").arg(f.key).arg(shown.count(f.key));
    out += rowTableProblems();
    return out;
}
