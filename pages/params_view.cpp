// The tracker's parameters and the window's controls: one function shows a value in the controls,
// one reads it back from them.
#include "core/dump_parser.h"
#include "bulk/profile.h"
#include "link/engine.h"
#include "pages/form2.h"

namespace {

using namespace bulk;

const char* const kTelBoxes[] = {"Text6", "Text7", "Text8", "Text25", "Text26", "Text27", "Text28", "Text29"};

QString fenceText(int n) { return QStringLiteral("Text%1").arg(9 + n); }
QString switchBox(int n) { return QStringLiteral("Check_d%1_on").arg(n); }
QString sideBox(int n) { return QStringLiteral("Check_d%1_in").arg(n); }

// The boxes of the text fields.
template <class G> struct Box {
    std::optional<QString> G::*field;
    const char* name;
};
const Box<Gprs> kGprsBoxes[] = {{&Gprs::apn, "Text1"}, {&Gprs::apnUser, "Text19"}, {&Gprs::apnPassword, "Text20"},
                                {&Gprs::serverIp, "Text3"}, {&Gprs::serverPort, "Text5"}, {&Gprs::httpAddress, "Text4"},
                                {&Gprs::httpPort, "Text31"}, {&Gprs::interval, "Text21"}};
const Box<OtherSettings> kOtherBoxes[] = {
    {&OtherSettings::lowBattery, "Combo3"}, {&OtherSettings::overSpeed, "Text9"}, {&OtherSettings::localHours, "Text15"},
    {&OtherSettings::localMinutes, "Combo4"}, {&OtherSettings::fuel, "Text16"}, {&OtherSettings::shakeStep, "Text32"},
    {&OtherSettings::odometer, "Text18"}, {&OtherSettings::displacement, "Text33"}, {&OtherSettings::password, "Text17"}};
const Box<Identity> kIdentityBoxes[] = {
    {&Identity::imei, "Text2"}, {&Identity::hardwareVersion, "Text30"}, {&Identity::softwareVersion, "Text23"}};

template <class G, size_t N> QString boxIn(const Box<G> (&boxes)[N], std::optional<QString> G::*field)
{
    for (const auto& b : boxes)
        if (b.field == field)
            return QLatin1String(b.name);
    return {};
}
QString boxOf(std::optional<QString> Gprs::*f) { return boxIn(kGprsBoxes, f); }
QString boxOf(std::optional<QString> OtherSettings::*f) { return boxIn(kOtherBoxes, f); }
QString boxOf(std::optional<QString> Identity::*f) { return boxIn(kIdentityBoxes, f); }

// The option buttons of each choice.
template <class E> struct Choice {
    E value;
    const char* option;
};
const Choice<IntervalUnit> kUnit[] = {{IntervalUnit::Sec, "Option1"}, {IntervalUnit::Min, "Option2"}, {IntervalUnit::Hour, "Option3"}};
const Choice<ArmFunction> kArm[] = {{ArmFunction::None, "Option14"}, {ArmFunction::Level, "Option13"}, {ArmFunction::Pulse, "Option15"}};
const Choice<LineFunction> kLine[] = {
    {LineFunction::CallOut, "Option20"}, {LineFunction::InputHigh, "Option19"}, {LineFunction::InputLow, "Option18"}};
const Choice<Level> kPortDoor[] = {{Level::High, "Option4"}, {Level::Low, "Option5"}};
const Choice<Level> kArmLevel[] = {{Level::High, "Option16"}, {Level::Low, "Option17"}};
const Choice<LockType> kLock[] = {{LockType::Elc, "Option21"}, {LockType::Gas, "Option22"}};
const Choice<Level> kSpecialDoor[] = {{Level::High, "Option23"}, {Level::Low, "Option24"}};
const Choice<InputTel> kInputTel[] = {{InputTel::Listen, "Option25"}, {InputTel::Talk, "Option26"}};
const Choice<SosOutTel> kSosOutTel[] = {{SosOutTel::Mute, "Option27"}, {SosOutTel::Spk, "Option28"}};

template <class E, size_t N> QString optionOf(const Choice<E> (&choices)[N], E value)
{
    for (const auto& c : choices)
        if (c.value == value)
            return QLatin1String(c.option);
    return {};
}

}  // namespace

// The order is that of a read of the dump, so that a read's messages come at their points and the
// option buttons whose handlers re-caption other controls run before the controls they touch:
// numbers, GPRS texts, odometer, interval unit and text, displacement, shake step, the special
// options, HTTP, identity, fence texts, switches (each check box before its caption) and sides,
// port options (line function, arm function, then its level), the over-speed line with its off
// flags, password and local time; the fuel and the port's door level, which no dump holds, last.
void Form2::showParams(const bulk::DumpRead& read)
{
    // The on-switches are shown as their texts ("000", "00%"), at the points of those texts.
    const Params p = windowForm(read.params);
    const auto text = [this](const QString& box, const std::optional<QString>& value) {
        if (value)
            setTxt(box, *value);
    };
    // The fields of a group, each into its box, in the order given.
    const auto texts = [&text](const auto& group, auto... fields) {
        if (group)
            (text(boxOf(fields), (*group).*fields), ...);
    };
    const auto choose = [this](const auto& value, const auto& choices) {
        if (value)
            select(optionOf(choices, *value));
    };
    const std::optional<Gprs>& g = p.gprs;
    const std::optional<OtherSettings>& o = p.other;

    if (p.telephones) {
        for (int i = 0; i < 8; ++i)
            text(QLatin1String(kTelBoxes[i]), p.telephones->number[i]);
    }
    texts(g, &Gprs::apn, &Gprs::apnUser, &Gprs::apnPassword, &Gprs::serverIp, &Gprs::serverPort);
    texts(o, &OtherSettings::odometer);
    if (g)
        choose(g->intervalUnit, kUnit);
    if (read.intervalError)
        engine_->inform(kIntervalError);
    texts(g, &Gprs::interval);
    texts(o, &OtherSettings::displacement, &OtherSettings::shakeStep);
    if (const auto& s = p.special) {
        choose(s->doorLevel, kSpecialDoor);
        choose(s->inputTel, kInputTel);
        choose(s->sosOutTel, kSosOutTel);
        choose(s->lockType, kLock);
    }
    texts(g, &Gprs::httpAddress, &Gprs::httpPort);
    texts(p.identity, &Identity::imei, &Identity::hardwareVersion, &Identity::softwareVersion);
    if (p.fences) {
        const auto& fences = p.fences->fence;
        for (int n = 1; n <= 5; ++n)
            text(fenceText(n), fences[n - 1].coordinate);
        // A check box's own handler flips its caption; the caption set right after is the one
        // that stays.
        for (int n = 5; n >= 1; --n) {
            if (const auto on = fences[n - 1].on) {
                setChecked(switchBox(n), *on);
                setCaption(switchBox(n), *on ? QStringLiteral("ON") : QStringLiteral("OFF"));
            }
        }
        for (int n = 5; n >= 1; --n) {
            if (const auto side = fences[n - 1].side) {
                setChecked(sideBox(n), *side == FenceSide::In);
                setCaption(sideBox(n), *side == FenceSide::In ? QStringLiteral("IN") : QStringLiteral("OUT"));
            }
        }
    }
    if (const auto& port = p.port) {
        choose(port->lineFunction, kLine);
        choose(port->armFunction, kArm);
        if (port->armFunction == ArmFunction::Pulse)
            visible(QStringLiteral("Frame9"), false);   // also when Pulse was selected already
        choose(port->armLevel, kArmLevel);
    }
    texts(o, &OtherSettings::overSpeed);
    // An interval that is off has no unit, whichever was selected before.
    if (read.params.gprs && read.params.gprs->intervalOn == false) {
        for (const char* unit : {"Option2", "Option3", "Option1"})
            deselect(QLatin1String(unit));
    }
    texts(o, &OtherSettings::lowBattery, &OtherSettings::password, &OtherSettings::localHours);
    if (read.localTimeError)
        engine_->inform(kLocalTimeError);
    texts(o, &OtherSettings::localMinutes, &OtherSettings::fuel);
    if (p.port)
        choose(p.port->doorLevel, kPortDoor);
    if (read.incomplete)
        engine_->inform(kIncompleteDump);
}

void Form2::showParams(const bulk::Params& params)
{
    showParams(bulk::DumpRead{params});
}

bulk::Params Form2::readParams() const
{
    Params p;
    // The choice whose option is selected; none selected: absent.
    const auto chosen = [this](const auto& choices) -> std::optional<decltype(choices[0].value)> {
        for (const auto& c : choices)
            if (selected(QLatin1String(c.option)))
                return c.value;
        return std::nullopt;
    };

    const auto texts = [this](auto& group, const auto& boxes) {
        for (const auto& b : boxes)
            group.*b.field = txt(QLatin1String(b.name));
    };

    Gprs& g = p.gprs.emplace();
    texts(g, kGprsBoxes);
    g.intervalUnit = chosen(kUnit);

    Telephones& tel = p.telephones.emplace();
    for (int i = 0; i < 8; ++i)
        tel.number[i] = txt(QLatin1String(kTelBoxes[i]));

    Fences& fences = p.fences.emplace();
    for (int n = 1; n <= 5; ++n) {
        Fence& f = fences.fence[n - 1];
        // The captions are what the fence commands send.
        const QString onCaption = caption(switchBox(n)), sideCaption = caption(sideBox(n));
        if (onCaption == QLatin1String("ON") || onCaption == QLatin1String("OFF"))
            f.on = onCaption == QLatin1String("ON");
        if (sideCaption == QLatin1String("IN") || sideCaption == QLatin1String("OUT"))
            f.side = sideCaption == QLatin1String("IN") ? FenceSide::In : FenceSide::Out;
        f.coordinate = txt(fenceText(n));
    }

    texts(p.other.emplace(), kOtherBoxes);

    PortFunctions& port = p.port.emplace();
    port.doorLevel = chosen(kPortDoor);
    port.armFunction = chosen(kArm);
    port.armLevel = chosen(kArmLevel);
    port.lineFunction = chosen(kLine);

    SpecialFunctions& s = p.special.emplace();
    s.lockType = chosen(kLock);
    s.doorLevel = chosen(kSpecialDoor);
    s.inputTel = chosen(kInputTel);
    s.sosOutTel = chosen(kSosOutTel);

    texts(p.identity.emplace(), kIdentityBoxes);
    return p;
}
