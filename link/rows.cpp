#include "link/rows.h"
#include "link/commands.h"

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
        {"Command10", {Code::Apn, [](const Fields& f) { return gprs::apn(text(gprsOf(f).apn)); }, kOk}},
        {"Command12",
         {Code::ApnUser, [](const Fields& f) { return gprs::apnUser(text(gprsOf(f).apnUser), text(gprsOf(f).apnPassword)); },
          kOk}},
        {"Command21",
         {Code::ApnServer,
          [](const Fields& f) {
              const auto& g = gprsOf(f);
              return gprs::apnServer(text(g.apn), text(g.serverIp), text(g.serverPort));
          },
          kOk}},
        {"Command22",
         {Code::Http, [](const Fields& f) { return gprs::http(text(gprsOf(f).httpAddress), text(gprsOf(f).httpPort)); },
          kOk}},
        {"Command23", {Code::Interval, intervalOf, kOk}},
        // TEL NO.-SET: each slot acknowledged by its own digit
        {"Command13", {Code::Tel1, telSlot<1>, tel::ack(1)}},
        {"Command14", {Code::Tel2, telSlot<2>, tel::ack(2)}},
        {"Command15", {Code::Tel3, telSlot<3>, tel::ack(3)}},
        {"Command16", {Code::Tel4, telSlot<4>, tel::ack(4)}},
        {"Command17", {Code::Tel5, telSlot<5>, tel::ack(5)}},
        {"Command18", {Code::Tel6, telSlot<6>, tel::ack(6)}},
        {"Command19", {Code::Tel7, telSlot<7>, tel::ack(7)}},
        {"Command20", {Code::Tel8, telSlot<8>, tel::ack(8)}},
        // GEO-FENCE
        {"Command29", {Code::Fence1, fenceOf<1>, kOk}},
        {"Command30", {Code::Fence2, fenceOf<2>, kOk}},
        {"Command31", {Code::Fence3, fenceOf<3>, kOk}},
        {"Command32", {Code::Fence4, fenceOf<4>, kOk}},
        {"Command33", {Code::Fence5, fenceOf<5>, kOk}},
        // OTHER-SET
        {"Command27", {Code::LowBattery, [](const Fields& f) { return other::battery(text(otherOf(f).lowBattery)); }, kOk}},
        {"Command26", {Code::OverSpeed, [](const Fields& f) { return other::speed(text(otherOf(f).overSpeed)); }, kOk}},
        {"Command25",
         {Code::LocalTime,
          [](const Fields& f) { return other::localTime(text(otherOf(f).localHours), text(otherOf(f).localMinutes)); },
          kOk}},
        {"Command38", {Code::Fuel, [](const Fields& f) { return other::fuel(text(otherOf(f).fuel)); }, kOk}},
        {"Command39", {Code::Shake, [](const Fields& f) { return other::shake(text(otherOf(f).shakeStep)); }, kOk}},
        {"Command28", {Code::Odometer, [](const Fields& f) { return other::odometer(text(otherOf(f).odometer)); }, kOk}},
        {"Command40",
         {Code::Displacement, [](const Fields& f) { return other::displacement(text(otherOf(f).displacement)); }, kOk}},
        {"Command11", {Code::Password, [](const Fields& f) { return other::password(text(otherOf(f).password)); }, kOk}},
        // PORT-SET
        {"Command34",
         {Code::DoorLevel,
          [](const Fields& f) {
              const auto door = portOf(f).doorLevel;
              return Draft::send(portset::doorLine(door == bulk::Level::High, door == bulk::Level::Low));
          },
          kOk}},
        {"Command35", {Code::ArmFunction, armOf, kOk}},
        // Test & Especia Set
        {"Command41", {Code::CutOff, fixed<kCutOff>, kOk}},
        {"Command42", {Code::CutOn, fixed<kCutOn>, kOk}},
        {"Command43", {Code::Lock, fixed<kLock>, kOk}},
        {"Command44", {Code::Unlock, fixed<kUnlock>, kOk}},
        {"Command50", {Code::Trunk, fixed<kTrunk>, kOk}},
        {"Command47",
         {Code::LockSelect,
          [](const Fields& f) { return choice("SETU2,", specialOf(f).lockType, bulk::LockType::Elc, "1", "0"); }, kOk}},
        {"Command48",
         {Code::InputTel,
          [](const Fields& f) { return choice("SETU", specialOf(f).inputTel, bulk::InputTel::Listen, "1", "0"); }, kOk}},
        {"Command49",
         {Code::SosOutTel,
          [](const Fields& f) { return choice("SETU", specialOf(f).sosOutTel, bulk::SosOutTel::Mute, "3", "4"); }, kOk}},
        {"Command51",
         {Code::DoorLevelSpecial,
          [](const Fields& f) { return choice("SETXD", specialOf(f).doorLevel, bulk::Level::High, "1", "0"); }, kOk}},
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
           kOk},
          {Code::GprsChainUser,
           [](const Fields& f) { return Draft::send(gprs::userLine(text(gprsOf(f).apnUser), text(gprsOf(f).apnPassword))); },
           kOk},
          {Code::GprsChainHttp,
           [](const Fields& f) { return Draft::send(gprs::httpLine(text(gprsOf(f).httpAddress), text(gprsOf(f).httpPort))); },
           kOk},
          {Code::GprsChainInterval, intervalOf, kOk}}},
        // TEL NO.-SET "WRITE": numbers 1 to 5, an empty box deletes its number.
        {"Command4",
         {{Code::TelChain1, telChain<1>, tel::ack(1)},
          {Code::TelChain2, telChain<2>, tel::ack(2)},
          {Code::TelChain3, telChain<3>, tel::ack(3)},
          {Code::TelChain4, telChain<4>, tel::ack(4)},
          {Code::TelChain5, telChain<5>, tel::ack(5)}}},
        // OTHER-SET "WRITE": the fuel table and the shake step by model and check box, the password
        // by its check box.
        {"Command1",
         {{Code::OtherChainBattery, [](const Fields& f) { return other::chainBattery(text(otherOf(f).lowBattery)); }, kOk},
          {Code::OtherChainSpeed, [](const Fields& f) { return other::chainSpeed(text(otherOf(f).overSpeed)); }, kOk},
          {Code::OtherChainTime,
           [](const Fields& f) { return other::localTime(text(otherOf(f).localHours), text(otherOf(f).localMinutes)); },
           kOk},
          {Code::OtherChainFuel, [](const Fields& f) { return other::fuel(text(otherOf(f).fuel)); }, kOk,
           [](const Fields& f) { return !fuelGoes(f); }},
          {Code::OtherChainShake, [](const Fields& f) { return other::chainShake(text(otherOf(f).shakeStep)); }, kOk,
           [](const Fields& f) { return f.model != Model::Harrier && !fuelGoes(f); }},
          {Code::OtherChainDisplacement,
           [](const Fields& f) { return other::chainDisplacement(text(otherOf(f).displacement)); }, kOk},
          {Code::OtherChainPassword, [](const Fields& f) { return other::password(text(otherOf(f).password)); }, kOk,
           [](const Fields& f) { return !f.writePassword; }},
          {Code::OtherChainOdometer, [](const Fields& f) { return other::odometer(text(otherOf(f).odometer)); }, kOk}}},
        // PORT-SET line function: the arm function first, then the line function, which only
        // "Condor" has.
        {"Command36",
         {{Code::LineFunction,
           [](const Fields& f) { return f.model == Model::Condor ? armOf(f) : Draft::refusal(portset::kNoLineFunction); },
           kOk},
          {Code::LineFunctionStep2,
           [](const Fields& f) {
               const auto line = portOf(f).lineFunction;
               return Draft::send(portset::lineFunction(line == bulk::LineFunction::CallOut,
                                                        line == bulk::LineFunction::InputHigh,
                                                        line == bulk::LineFunction::InputLow));
           },
           kOk, [](const Fields& f) { return f.model != Model::Condor; }}}},
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

}  // namespace rows
