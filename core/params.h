#pragma once
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// The tracker's parameters as one plain value: what a read of the parameter dump yields, what the
// simulator keeps as its state, and what the window's fields hold (pages/params_view.cpp maps it
// onto the controls and back).
//
// Shape, stable:
// - Params holds seven groups. Each group is optional, and so is every field in a group: absent
//   means "not known here" (the dump did not reach it, or a profile leaves it out). Mapping a
//   value onto the window changes only the controls of the fields present.
// - Free text is a QString kept exactly as typed in the window or received by the tracker, in the
//   window's form ("030", "+08", "45%"); nothing is trimmed or padded here.
// - A choice between option buttons is an enum, a switch a bool.
// - The "...On" switches are the tracker's own on/off flags of a setting that also keeps a value.
//   The window has no such switch: it shows an off setting as "000" (or "00%"), and the write
//   commands derive the flag from that text. A value read back from the window leaves them absent.
// - forEachField() visits every field with a stable key ("gprs.apn", "telephones.3",
//   "fences.2.side"), in the order of the groups below. Each field is declared once, in the table
//   of core/fields.cpp, which that walk reads.
namespace bulk {

// The tracker model chosen in "Model-Select"; it is not a parameter of the tracker but decides which
// frames the window offers and which steps a write chain takes.
enum class Model { Petrel, Condor, Falcon, Harrier };   // Option6, Option7, Option8, Option9

enum class IntervalUnit { Sec, Min, Hour };              // Option1, Option2, Option3
enum class Level { High, Low };                          // "Hight" / "Low"; for a pulse arm: POS / NEG
enum class ArmFunction { None, Level, Pulse };           // Option14, Option13, Option15
enum class LineFunction { CallOut, InputHigh, InputLow };   // Option20, Option19, Option18 (Condor's captions)
enum class FenceSide { In, Out };                        // alarm on entering / on leaving
enum class LockType { Elc, Gas };                        // Option21, Option22
enum class InputTel { Listen, Talk };                    // Option25, Option26
enum class SosOutTel { Mute, Spk };                      // Option27, Option28

// Frame1 "GPRS-SET".
struct Gprs {
    std::optional<QString> apn;                  // Text1
    std::optional<QString> apnUser;              // Text19
    std::optional<QString> apnPassword;          // Text20
    std::optional<QString> serverIp;             // Text3
    std::optional<QString> serverPort;           // Text5
    std::optional<QString> httpAddress;          // Text4
    std::optional<QString> httpPort;             // Text31
    std::optional<QString> interval;             // Text21, digits ("030"); "000" is off in the window
    std::optional<IntervalUnit> intervalUnit;    // none selected: absent
    std::optional<bool> intervalOn;              // false: the window shows "000" and no unit
    bool operator==(const Gprs&) const = default;
};

// Frame2 "TEL NO.-SET": numbers 1 to 8 (Text6, Text7, Text8, Text25 .. Text29); "" = no number.
struct Telephones {
    std::array<std::optional<QString>, 8> number;
    bool operator==(const Telephones&) const = default;
};

// Frame4 "GEO-FENCE": fence n is Text(9+n), Check_dn_on, Check_dn_in.
struct Fence {
    std::optional<bool> on;                      // switch: caption "ON" / "OFF"
    std::optional<FenceSide> side;               // caption "IN" / "OUT"
    std::optional<QString> coordinate;           // as typed; "" = not defined
    bool operator==(const Fence&) const = default;
};
struct Fences {
    std::array<Fence, 5> fence;
    bool operator==(const Fences&) const = default;
};

// Frame3 "OTHER-SET".
struct OtherSettings {
    std::optional<QString> lowBattery;           // Combo3, "45%"; "00%" is off
    std::optional<bool> lowBatteryOn;
    std::optional<QString> overSpeed;            // Text9, km/h ("120"); "000" is off
    std::optional<bool> overSpeedOn;
    std::optional<QString> localHours;           // Text15, sign and hours ("+08")
    std::optional<QString> localMinutes;         // Combo4 ("00", "15", "30", "45")
    std::optional<QString> fuel;                 // Text16, "y1,v1,y2,v2"; not in the dump
    std::optional<QString> shakeStep;            // Text32
    std::optional<QString> odometer;             // Text18, km
    std::optional<QString> displacement;         // Text33, tens of metres ("010"); "000" is off
    std::optional<bool> displacementOn;
    std::optional<QString> password;             // Text17
    bool operator==(const OtherSettings&) const = default;
};

// Frame5 "PORT-SET" (models Condor and Falcon).
struct PortFunctions {
    std::optional<Level> doorLevel;              // Option4 / Option5; not in the dump
    std::optional<ArmFunction> armFunction;
    std::optional<Level> armLevel;               // Option16 / Option17
    std::optional<LineFunction> lineFunction;
    bool operator==(const PortFunctions&) const = default;
};

// Frame10 "Test & Especia Set" (model Harrier).
struct SpecialFunctions {
    std::optional<LockType> lockType;
    std::optional<Level> doorLevel;              // Option23 / Option24
    std::optional<InputTel> inputTel;
    std::optional<SosOutTel> sosOutTel;
    bool operator==(const SpecialFunctions&) const = default;
};

// The unit itself, read-only in the window (Text2, Text30, Text23); never written.
struct Identity {
    std::optional<QString> imei;
    std::optional<QString> hardwareVersion;
    std::optional<QString> softwareVersion;
    bool operator==(const Identity&) const = default;
};

struct Params {
    std::optional<Gprs> gprs;
    std::optional<Telephones> telephones;
    std::optional<Fences> fences;
    std::optional<OtherSettings> other;
    std::optional<PortFunctions> port;
    std::optional<SpecialFunctions> special;
    std::optional<Identity> identity;
    bool operator==(const Params&) const = default;
};

// Names of the choices, as the keys and values of forEachField() and describe() use them.
QString name(Model v);
QString name(IntervalUnit v);
QString name(Level v);
QString name(ArmFunction v);
QString name(LineFunction v);
QString name(FenceSide v);
QString name(LockType v);
QString name(InputTel v);
QString name(SosOutTel v);

// Every field present in `from` put into `into` (its groups made present as needed); the others
// are left as they are.
void overlay(Params& into, const Params& from);

// One "key=value" line per field present, in forEachField() order; switches read "on" / "off".
// For messages and test failures.
QStringList describe(const Params& p);

}  // namespace bulk

// The field walk, bulk::forEachField(), reads the table of fields.
#include "core/fields.h"
