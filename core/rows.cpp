#include "core/rows.h"
#include "core/commands.h"

#include <QRegularExpression>

namespace rows {
namespace {

using bulk::Model;

// An absent field reads as the window shows it: an empty box, no option selected.
QString text(const std::optional<QString>& field)
{
    return field.value_or(QString());
}
template <class G> const G& group(const std::optional<G>& g)
{
    static const G none;
    return g ? *g : none;
}
const bulk::Gprs& gprsOf(const Fields& f) { return group(f.params.gprs); }
const bulk::OtherSettings& otherOf(const Fields& f) { return group(f.params.other); }
const bulk::PortFunctions& portOf(const Fields& f) { return group(f.params.port); }
const bulk::SpecialFunctions& specialOf(const Fields& f) { return group(f.params.special); }
QString number(const Fields& f, int slot) { return text(group(f.params.telephones).number[slot - 1]); }

constexpr QLatin1String kOk(" OK!");

// ---- GPRS -----------------------------------------------------------------------------------

Draft intervalOf(const Fields& f)
{
    const auto& g = gprsOf(f);
    const auto unit = g.intervalUnit;
    return gprs::interval(text(g.interval), unit == bulk::IntervalUnit::Sec, unit == bulk::IntervalUnit::Min,
                          unit == bulk::IntervalUnit::Hour);
}

// ---- port functions -------------------------------------------------------------------------

Draft armOf(const Fields& f)
{
    const auto& p = portOf(f);
    // No arm option selected reads as the last of them, as the window's own rule has it.
    const auto arm = p.armFunction == bulk::ArmFunction::None    ? portset::Arm::None
                     : p.armFunction == bulk::ArmFunction::Level ? portset::Arm::Level
                                                                 : portset::Arm::Pulse;
    const auto level = !p.armLevel                          ? portset::Level::Unset
                       : *p.armLevel == bulk::Level::High ? portset::Level::High
                                                          : portset::Level::Low;
    return Draft::send(portset::armLine(arm, level));
}

// ---- other settings -------------------------------------------------------------------------

bool fuelGoes(const Fields& f)
{
    return (f.model == Model::Falcon || f.model == Model::Harrier) && f.writeFuel;
}

// ---- test frame -----------------------------------------------------------------------------

template <class E> Draft choice(const char* prefix, const std::optional<E>& v, E first, const char* firstDigit,
                                const char* secondDigit)
{
    return Draft::send(special::choice(QLatin1String(prefix), v == first, QLatin1String(firstDigit),
                                       v.has_value() && v != first, QLatin1String(secondDigit)));
}

template <int Slot> Draft telSlot(const Fields& f) { return tel::slot(Slot, number(f, Slot)); }
template <int Slot> Draft telChain(const Fields& f) { return Draft::send(tel::chainLine(Slot, number(f, Slot))); }
template <int Fence> Draft fenceOf(const Fields& f)
{
    const bulk::Fence& x = group(f.params.fences).fence[Fence - 1];
    return fence::apply(Fence, x.on.value_or(false) ? QStringLiteral("ON") : QStringLiteral("OFF"),
                        x.side.value_or(bulk::FenceSide::Out) == bulk::FenceSide::Out ? QStringLiteral("OUT")
                                                                                     : QStringLiteral("IN"),
                        text(x.coordinate));
}
template <const char* Line> Draft fixed(const Fields&) { return Draft::send(QLatin1String(Line)); }
constexpr char kCutOff[] = "SETT1", kCutOn[] = "SETT0", kLock[] = "SETT3", kUnlock[] = "SETT2", kTrunk[] = "SETT4";

}  // namespace

const std::vector<Row>& allRows()
{
    static const std::vector<Row> rows = {
        // GPRS-SET
        {"Command10", {Code::Apn, [](const Fields& f) { return gprs::apn(text(gprsOf(f).apn)); }, kOk, nullptr, {"gprs.apn"}}},
        {"Command12",
         {Code::ApnUser, [](const Fields& f) { return gprs::apnUser(text(gprsOf(f).apnUser), text(gprsOf(f).apnPassword)); },
          kOk, nullptr, {"gprs.apnUser", "gprs.apnPassword"}}},
        {"Command21",
         {Code::ApnServer,
          [](const Fields& f) {
              const auto& g = gprsOf(f);
              return gprs::apnServer(text(g.apn), text(g.serverIp), text(g.serverPort));
          },
          kOk, nullptr, {"gprs.apn", "gprs.serverIp", "gprs.serverPort"}}},
        {"Command22",
         {Code::Http, [](const Fields& f) { return gprs::http(text(gprsOf(f).httpAddress), text(gprsOf(f).httpPort)); },
          kOk, nullptr, {"gprs.httpAddress", "gprs.httpPort"}}},
        {"Command23", {Code::Interval, intervalOf, kOk, nullptr, {"gprs.interval", "gprs.intervalUnit?"}}},
        // TEL NO.-SET: each slot acknowledged by its own digit
        {"Command13", {Code::Tel1, telSlot<1>, tel::ack(1), nullptr, {"telephones.1"}}},
        {"Command14", {Code::Tel2, telSlot<2>, tel::ack(2), nullptr, {"telephones.2"}}},
        {"Command15", {Code::Tel3, telSlot<3>, tel::ack(3), nullptr, {"telephones.3"}}},
        {"Command16", {Code::Tel4, telSlot<4>, tel::ack(4), nullptr, {"telephones.4"}}},
        {"Command17", {Code::Tel5, telSlot<5>, tel::ack(5), nullptr, {"telephones.5"}}},
        {"Command18", {Code::Tel6, telSlot<6>, tel::ack(6), nullptr, {"telephones.6"}}},
        {"Command19", {Code::Tel7, telSlot<7>, tel::ack(7), nullptr, {"telephones.7"}}},
        {"Command20", {Code::Tel8, telSlot<8>, tel::ack(8), nullptr, {"telephones.8"}}},
        // GEO-FENCE
        {"Command29", {Code::Fence1, fenceOf<1>, kOk, nullptr, {"fences.1.on", "fences.1.side", "fences.1.coordinate?"}}},
        {"Command30", {Code::Fence2, fenceOf<2>, kOk, nullptr, {"fences.2.on", "fences.2.side", "fences.2.coordinate?"}}},
        {"Command31", {Code::Fence3, fenceOf<3>, kOk, nullptr, {"fences.3.on", "fences.3.side", "fences.3.coordinate?"}}},
        {"Command32", {Code::Fence4, fenceOf<4>, kOk, nullptr, {"fences.4.on", "fences.4.side", "fences.4.coordinate?"}}},
        {"Command33", {Code::Fence5, fenceOf<5>, kOk, nullptr, {"fences.5.on", "fences.5.side", "fences.5.coordinate?"}}},
        // OTHER-SET
        {"Command27", {Code::LowBattery, [](const Fields& f) { return other::battery(text(otherOf(f).lowBattery)); }, kOk, nullptr, {"other.lowBattery"}}},
        {"Command26", {Code::OverSpeed, [](const Fields& f) { return other::speed(text(otherOf(f).overSpeed)); }, kOk, nullptr, {"other.overSpeed"}}},
        {"Command25",
         {Code::LocalTime,
          [](const Fields& f) { return other::localTime(text(otherOf(f).localHours), text(otherOf(f).localMinutes)); },
          kOk, nullptr, {"other.localHours", "other.localMinutes"}}},
        {"Command38", {Code::Fuel, [](const Fields& f) { return other::fuel(text(otherOf(f).fuel)); }, kOk, nullptr, {"other.fuel"}}},
        {"Command39", {Code::Shake, [](const Fields& f) { return other::shake(text(otherOf(f).shakeStep)); }, kOk, nullptr, {"other.shakeStep"}}},
        {"Command28", {Code::Odometer, [](const Fields& f) { return other::odometer(text(otherOf(f).odometer)); }, kOk, nullptr, {"other.odometer"}}},
        {"Command40",
         {Code::Displacement, [](const Fields& f) { return other::displacement(text(otherOf(f).displacement)); }, kOk, nullptr, {"other.displacement"}}},
        {"Command11", {Code::Password, [](const Fields& f) { return other::password(text(otherOf(f).password)); }, kOk, nullptr, {"other.password"}}},
        // PORT-SET
        {"Command34",
         {Code::DoorLevel,
          [](const Fields& f) {
              const auto door = portOf(f).doorLevel;
              return Draft::send(portset::doorLine(door == bulk::Level::High, door == bulk::Level::Low));
          },
          kOk, nullptr, {"port.doorLevel"}}},
        {"Command35", {Code::ArmFunction, armOf, kOk, nullptr, {"port.armFunction", "port.armLevel"}}},
        // Test & Especia Set
        {"Command41", {Code::CutOff, fixed<kCutOff>, kOk}},
        {"Command42", {Code::CutOn, fixed<kCutOn>, kOk}},
        {"Command43", {Code::Lock, fixed<kLock>, kOk}},
        {"Command44", {Code::Unlock, fixed<kUnlock>, kOk}},
        {"Command50", {Code::Trunk, fixed<kTrunk>, kOk}},
        {"Command47",
         {Code::LockSelect,
          [](const Fields& f) { return choice("SETU2,", specialOf(f).lockType, bulk::LockType::Elc, "1", "0"); }, kOk, nullptr, {"special.lockType"}}},
        {"Command48",
         {Code::InputTel,
          [](const Fields& f) { return choice("SETU", specialOf(f).inputTel, bulk::InputTel::Listen, "1", "0"); }, kOk, nullptr, {"special.inputTel"}}},
        {"Command49",
         {Code::SosOutTel,
          [](const Fields& f) { return choice("SETU", specialOf(f).sosOutTel, bulk::SosOutTel::Mute, "3", "4"); }, kOk, nullptr, {"special.sosOutTel"}}},
        {"Command51",
         {Code::DoorLevelSpecial,
          [](const Fields& f) { return choice("SETXD", specialOf(f).doorLevel, bulk::Level::High, "1", "0"); }, kOk, nullptr, {"special.doorLevel"}}},
    };
    return rows;
}

const std::vector<Chain>& allChains()
{
    static const std::vector<Chain> chains = {
        // GPRS-SET "WRITE": server, APN user, HTTP, interval.
        {"Command2",
         {{Code::GprsChainApn,
           [](const Fields& f) {
               const auto& g = gprsOf(f);
               return gprs::writeStart(text(g.apn), text(g.serverIp), text(g.serverPort));
           },
           kOk, nullptr, {"gprs.apn", "gprs.serverIp", "gprs.serverPort"}},
          {Code::GprsChainUser,
           [](const Fields& f) { return Draft::send(gprs::userLine(text(gprsOf(f).apnUser), text(gprsOf(f).apnPassword))); },
           kOk, nullptr, {"gprs.apnUser", "gprs.apnPassword"}},
          {Code::GprsChainHttp,
           [](const Fields& f) { return Draft::send(gprs::httpLine(text(gprsOf(f).httpAddress), text(gprsOf(f).httpPort))); },
           kOk, nullptr, {"gprs.httpAddress", "gprs.httpPort"}},
          {Code::GprsChainInterval, intervalOf, kOk, nullptr, {"gprs.interval", "gprs.intervalUnit?"}}}},
        // TEL NO.-SET "WRITE": numbers 1 to 5, an empty box deletes its number.
        {"Command4",
         {{Code::TelChain1, telChain<1>, tel::ack(1), nullptr, {"telephones.1"}},
          {Code::TelChain2, telChain<2>, tel::ack(2), nullptr, {"telephones.2"}},
          {Code::TelChain3, telChain<3>, tel::ack(3), nullptr, {"telephones.3"}},
          {Code::TelChain4, telChain<4>, tel::ack(4), nullptr, {"telephones.4"}},
          {Code::TelChain5, telChain<5>, tel::ack(5), nullptr, {"telephones.5"}}}},
        // OTHER-SET "WRITE": the fuel table and the shake step by model and check box, the password
        // by its check box.
        {"Command1",
         {{Code::OtherChainBattery, [](const Fields& f) { return other::chainBattery(text(otherOf(f).lowBattery)); }, kOk,
           nullptr, {"other.lowBattery"}},
          {Code::OtherChainSpeed, [](const Fields& f) { return other::chainSpeed(text(otherOf(f).overSpeed)); }, kOk,
           nullptr, {"other.overSpeed"}},
          {Code::OtherChainTime,
           [](const Fields& f) { return other::localTime(text(otherOf(f).localHours), text(otherOf(f).localMinutes)); },
           kOk, nullptr, {"other.localHours", "other.localMinutes"}},
          {Code::OtherChainFuel, [](const Fields& f) { return other::fuel(text(otherOf(f).fuel)); }, kOk,
           [](const Fields& f) { return !fuelGoes(f); }, {"other.fuel"}},
          {Code::OtherChainShake, [](const Fields& f) { return other::chainShake(text(otherOf(f).shakeStep)); }, kOk,
           [](const Fields& f) { return f.model != Model::Harrier && !fuelGoes(f); }, {"other.shakeStep"}},
          {Code::OtherChainDisplacement,
           [](const Fields& f) { return other::chainDisplacement(text(otherOf(f).displacement)); }, kOk, nullptr,
           {"other.displacement"}},
          {Code::OtherChainPassword, [](const Fields& f) { return other::password(text(otherOf(f).password)); }, kOk,
           [](const Fields& f) { return !f.writePassword; }, {"other.password"}},
          {Code::OtherChainOdometer, [](const Fields& f) { return other::odometer(text(otherOf(f).odometer)); }, kOk,
           nullptr, {"other.odometer"}}}},
        // PORT-SET line function: the arm function first, then the line function, which only
        // "Condor" has.
        {"Command36",
         {{Code::LineFunction,
           [](const Fields& f) { return f.model == Model::Condor ? armOf(f) : Draft::refusal(portset::kNoLineFunction); },
           kOk, nullptr, {"port.armFunction", "port.armLevel"}},
          {Code::LineFunctionStep2,
           [](const Fields& f) {
               const auto line = portOf(f).lineFunction;
               return Draft::send(portset::lineFunction(line == bulk::LineFunction::CallOut,
                                                        line == bulk::LineFunction::InputHigh,
                                                        line == bulk::LineFunction::InputLow));
           },
           kOk, [](const Fields& f) { return f.model != Model::Condor; }, {"port.lineFunction"}}}},
    };
    return chains;
}

const Row* row(const QString& button)
{
    for (const Row& r : allRows())
        if (button == QLatin1String(r.button))
            return &r;
    return nullptr;
}

const Chain* chain(const QString& button)
{
    for (const Chain& c : allChains())
        if (button == QLatin1String(c.button))
            return &c;
    return nullptr;
}

// ---- forms ----------------------------------------------------------------------------------

namespace {

// The texts by which a read finds the dump's later groups: a field before them that held one would
// move every field after it.
const QStringList& dumpMarkers()
{
    static const QStringList markers = {QStringLiteral("ord:"), QStringLiteral("HP:"), QStringLiteral("IMEI:"),
                                        QStringLiteral("ed:")};
    return markers;
}

bool matchesWhole(const QString& pattern, const QString& value)
{
    const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
    return re.match(value).hasMatch();
}

}  // namespace

const std::vector<Form>& forms()
{
    static const std::vector<Form> all = [] {
        std::vector<Form> f;
        for (const fields::Field& field : fields::all())
            if (field.form)
                f.push_back(*field.form);
        return f;
    }();
    return all;
}

const Form* form(const QString& key)
{
    const fields::Field* f = fields::field(key);
    return f && f->form ? &*f->form : nullptr;
}

QString visible(const QString& text, int keep)
{
    QString out;
    qsizetype i = 0;
    for (; i < text.size() && out.size() < keep; ++i) {
        const QChar c = text[i];
        const ushort u = c.unicode();
        if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else if (c.isSurrogate() || !c.isPrint())
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (i < text.size())
        out += QStringLiteral("... (%1 characters)").arg(text.size());
    return out;
}

QString shown(const QString& text, int keep)
{
    QString v = visible(text, keep);
    // Quotes inside stay visible as such; the escapes above already mark every control character.
    return QLatin1Char('"') + v + QLatin1Char('"');
}

Misfit misfit(const QString& key, const QString& value)
{
    const Form* f = form(key);
    // An empty box is the window's own way to say "off" or "none"; the row's builder decides what
    // it sends for it, or refuses it.
    if (!f || value.isEmpty())
        return {};
    const auto say = [](const QString& problem, const QString& detail) { return Misfit{problem, detail}; };
    for (const QChar c : value) {
        const ushort u = c.unicode();
        if (c == u'\r' || c == u'\n')
            return say(QStringLiteral("holds a line break"), QStringLiteral("it would split the command"));
        if (u < 0x20 || u == 0x7F)
            return say(QStringLiteral("holds a control character"),
                       QStringLiteral("\\x%1 is no text a tracker keeps").arg(u, 2, 16, QLatin1Char('0')));
        if (u > 0x7E)
            return say(QStringLiteral("holds a character outside ASCII"),
                       QStringLiteral("the line to the tracker carries ASCII only"));
    }
    if (value.size() > f->maxLength)
        return say(QStringLiteral("is too long"),
                   QStringLiteral("%1 characters; %2").arg(value.size()).arg(f->shape));
    for (const QChar c : f->separators)
        if (value.contains(c))
            return say(QStringLiteral("holds \"%1\"").arg(c),
                       QStringLiteral("\"%1\" separates the fields of its command or of the tracker's dump").arg(c));
    for (const QString& marker : dumpMarkers())
        if (value.contains(marker))
            return say(QStringLiteral("holds \"%1\"").arg(marker),
                       QStringLiteral("\"%1\" marks a group of the tracker's dump").arg(marker));
    if (!f->pattern.isEmpty() && !matchesWhole(f->pattern, value))
        return say(QStringLiteral("has the wrong form"), f->shape);
    if (f->maxValue >= 0 && !value.isEmpty()) {
        QString digits = value;
        static const QRegularExpression notDigits(QStringLiteral("[^0-9]"));
        digits.remove(notDigits);
        if (digits.toInt() > f->maxValue)
            return say(QStringLiteral("is out of range"), f->range);
    }
    return {};
}

// ---- the write plan -------------------------------------------------------------------------

namespace {
bool always(Model) { return true; }
bool portModels(Model m) { return m == Model::Condor || m == Model::Falcon; }
bool condorOnly(Model m) { return m == Model::Condor; }
bool harrierOnly(Model m) { return m == Model::Harrier; }
}  // namespace

const std::vector<Press>& writeOrder()
{
    const auto pressRow = [](const char* group, const char* button, bool (*offered)(Model)) {
        return Press{QLatin1String(group), row(QLatin1String(button)), nullptr, offered};
    };
    const auto pressChain = [](const char* group, const char* button, bool (*offered)(Model)) {
        return Press{QLatin1String(group), nullptr, chain(QLatin1String(button)), offered};
    };
    static const std::vector<Press> order = {
        pressChain("gprs", "Command2", always),
        pressChain("telephones", "Command4", always),
        pressChain("other", "Command1", always),
        // The chain passes over the shake step where the model's window greys its row out; the
        // row is listed for the window that offers it, which the chain already serves.
        pressRow("other", "Command39", harrierOnly),
        pressRow("port", "Command34", portModels),
        pressRow("port", "Command35", portModels),
        pressChain("port", "Command36", condorOnly),
        pressRow("special", "Command47", harrierOnly),
        pressRow("special", "Command51", harrierOnly),
        pressRow("special", "Command48", harrierOnly),
        pressRow("special", "Command49", harrierOnly),
        pressRow("fences", "Command29", always),
        pressRow("fences", "Command30", always),
        pressRow("fences", "Command31", always),
        pressRow("fences", "Command32", always),
        pressRow("fences", "Command33", always),
    };
    return order;
}

QStringList sentBy(const Press& press, const Fields& f, QStringList* optional)
{
    QStringList keys;
    const auto take = [&](const Step& step) {
        if (step.skip && step.skip(f))
            return;
        for (QString key : step.fields) {
            const bool maybe = key.endsWith(QLatin1Char('?'));
            if (maybe)
                key.chop(1);
            if (keys.contains(key))
                continue;
            keys << key;
            if (maybe && optional)
                *optional << key;
        }
    };
    if (press.row)
        take(press.row->step);
    if (press.chain)
        for (const Step& step : press.chain->steps)
            take(step);
    return keys;
}

const std::vector<NeverWritten>& neverWritten()
{
    static const std::vector<NeverWritten> never = {
        {"telephones.6", "slots 6 to 8 are disabled in the window: no button writes them"},
        {"telephones.7", "slots 6 to 8 are disabled in the window: no button writes them"},
        {"telephones.8", "slots 6 to 8 are disabled in the window: no button writes them"},
        {"gprs.intervalOn", "the tracker's own switch; a write turns the interval off by its text \"000\""},
        {"other.overSpeedOn", "the tracker's own switch; a write turns the alarm off by its text \"000\""},
        {"other.displacementOn", "the tracker's own switch; a write turns it off by its text \"000\""},
        {"other.lowBatteryOn", "the tracker's own switch; a write turns the alarm off by its text \"00%\""},
        {"identity.imei", "the unit's own identity, read only"},
        {"identity.hardwareVersion", "the unit's own identity, read only"},
        {"identity.softwareVersion", "the unit's own identity, read only"},
    };
    return never;
}

QString neverWrittenWhy(const QString& key)
{
    for (const NeverWritten& n : neverWritten())
        if (n.key == key)
            return n.why;
    return {};
}

}  // namespace rows
