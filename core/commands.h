#pragma once
#include "core/draft.h"

#include <optional>

// Command builders of every frame: plain functions from the field texts (as typed, no trimming)
// to a Draft. The window's handlers feed them and send what they return.

namespace gprs {
Draft apn(const QString& apn);                                                    // Command10
Draft apnUser(const QString& name, const QString& password);                      // Command12
Draft apnServer(const QString& apn, const QString& ip, const QString& port);      // Command21
Draft http(const QString& address, const QString& port);                          // Command22
Draft interval(const QString& value, bool sec, bool min, bool hour);              // Command23, chain
Draft writeStart(const QString& apn, const QString& ip, const QString& port);     // Command2
QString userLine(const QString& name, const QString& password);                   // chain "SETO"
QString httpLine(const QString& address, const QString& port);                    // chain "SETR"
}  // namespace gprs

namespace tel {
QString ack(int slot);                                   // "1TEL OK!" .. "8TEL OK!"
Draft slot(int slot, const QString& number);             // Command13..20
QString chainLine(int slot, const QString& number);      // Command4 chain: the number or "D"
}  // namespace tel

namespace fence {
Draft apply(int fence, const QString& switchCaption, const QString& sideCaption,
            const QString& coordinate);                  // Command29..33
QString toggledSwitch(const QString& caption);           // "OFF" <-> "ON", others unchanged
QString toggledSide(const QString& caption);             // "OUT" <-> "IN", others unchanged
}  // namespace fence

namespace other {
// The leading number of a text: blanks skipped, an optional sign, digits with at most one decimal
// point and an optional exponent; a text that does not start with a number gives 0.
double leadingNumber(const QString& text);
double roundHalfEven(double value);
Draft battery(const QString& level);                     // Command27
Draft speed(const QString& speed);                       // Command26
Draft localTime(const QString& hours, const QString& minutes);   // Command25, chain
Draft fuel(const QString& text);                         // Command38, chain
Draft shake(const QString& step);                        // Command39
Draft odometer(const QString& km);                       // Command28, chain (empty -> "000000")
Draft displacement(const QString& distance);             // Command40
Draft password(const QString& password);                 // Command11, chain
// The write chain's own forms: no notes, other messages, the battery level not rounded.
Draft chainBattery(const QString& level);
Draft chainSpeed(const QString& speed);
Draft chainShake(const QString& step);
Draft chainDisplacement(const QString& distance);
inline const QString kSpeedRange = QStringLiteral("PLS Input A Speed From 000 To 250");
inline const QString kBatteryRange = QStringLiteral("PLS Input A Level From 0 To 255");
}  // namespace other

namespace portset {
enum class Arm { None, Level, Pulse };
enum class Level { High, Low, Unset };
QString doorLine(bool high, bool low);                   // Command34
QString armLine(Arm arm, Level level);                   // Command35, Command36 step 1
// Command36 step 2 ("Condor"): call-out, input high, input low, or the bare line.
QString lineFunction(bool option20, bool option19, bool option18);
inline const QString kNoLineFunction = QStringLiteral("This Model Has No Line Function Command");
}  // namespace portset

namespace special {
// Two-way choices: the prefix and the digit of the selected option, or the bare prefix.
QString choice(const QString& prefix, bool first, const QString& firstDigit, bool second,
               const QString& secondDigit);
}  // namespace special
