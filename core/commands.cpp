#include "core/commands.h"

#include <cmath>

namespace {
constexpr QLatin1String kCloseSpeeding("Close Speeding Alarm");
constexpr QLatin1String kReinput("PLS Reinput,It shouold be 3 digits");

bool isOffDistance(const QString& t)
{
    return t.isEmpty() || t == QLatin1String("000") || t == QLatin1String("00") || t == QLatin1String("0");
}
}  // namespace

// ---- GPRS -----------------------------------------------------------------------------------

namespace gprs {

Draft apn(const QString& apn)
{
    Draft d = Draft::send(QStringLiteral("SETC") + apn);
    if (apn.isEmpty())
        d.ask = QStringLiteral("APN is NULL");
    return d;
}

Draft apnUser(const QString& name, const QString& password)
{
    Draft d = Draft::send(userLine(name, password));
    if (name.isEmpty() && password.isEmpty())
        d.notes << QStringLiteral("APN Name And APN Password is NULL");
    else if (name.isEmpty())
        d.notes << QStringLiteral("APN Name is NULL");
    else if (password.isEmpty())
        d.notes << QStringLiteral("APN Password is NULL");
    return d;
}

Draft apnServer(const QString& apn, const QString& ip, const QString& port)
{
    Draft d;
    if (apn.isEmpty())
        d.ask = QStringLiteral("APN is NULL");
    if (ip.isEmpty())
        d.refuse = QStringLiteral("PLS Input IP");
    else if (port.isEmpty())
        d.refuse = QStringLiteral("PLS Input Port");
    else
        d.line = QStringLiteral("SETC") + apn + QLatin1Char(',') + ip + QLatin1Char(':') + port;
    return d;
}

Draft http(const QString& address, const QString& port)
{
    if (address.isEmpty() && !port.isEmpty())
        return Draft::refusal(QStringLiteral("PLS Input NET Address,And Start With http://"));
    if (address.isEmpty()) {
        Draft d = Draft::send(QStringLiteral("SETR;"));
        d.ask = QStringLiteral("Delete NET Address & Port,And Don't Make HTTP Connection");
        return d;
    }
    if (port.isEmpty())
        return Draft::refusal(QStringLiteral("PLS Inupt the PORT of HTTP Connection"));
    return Draft::send(httpLine(address, port));
}

Draft interval(const QString& value, bool sec, bool min, bool hour)
{
    if (value.isEmpty() || value == QLatin1String("0") || value == QLatin1String("00") ||
        value == QLatin1String("000"))
        return Draft::send(QStringLiteral("SETM0,030S"));
    if (value.size() < 3)
        return Draft::refusal(QStringLiteral("PLS Input 3 Digits"));
    const QString unit = sec ? QStringLiteral("S") : min ? QStringLiteral("M") : hour ? QStringLiteral("H") : QString();
    if (unit.isEmpty())
        return Draft::refusal(QStringLiteral("PLS Select Time Unit!"));
    return Draft::send(QStringLiteral("SETM1,") + value + unit);
}

Draft writeStart(const QString& apn, const QString& ip, const QString& port)
{
    QString line = QStringLiteral("SETC") + apn;
    if (!ip.isEmpty()) {
        if (port.isEmpty())
            return Draft::refusal(QStringLiteral("PLS Input Port"));
        line += QLatin1Char(',') + ip + QLatin1Char(':') + port;
    }
    return Draft::send(line);
}

QString userLine(const QString& name, const QString& password)
{
    return QStringLiteral("SETO") + name + QLatin1Char(',') + password;
}

QString httpLine(const QString& address, const QString& port)
{
    return QStringLiteral("SETR") + address + QLatin1Char(';') + port;
}

}  // namespace gprs

// ---- telephone numbers ----------------------------------------------------------------------

namespace tel {

QString ack(int slot)
{
    return QString::number(slot) + QStringLiteral("TEL OK!");
}

Draft slot(int slot, const QString& number)
{
    Draft d = Draft::send(chainLine(slot, number));
    if (number.isEmpty())
        d.notes << QStringLiteral("Delete The Telephone Number");
    return d;
}

QString chainLine(int slot, const QString& number)
{
    return QStringLiteral("SETA%1,").arg(slot) + (number.isEmpty() ? QStringLiteral("D") : number);
}

}  // namespace tel

// ---- geo-fences -----------------------------------------------------------------------------

namespace fence {

Draft apply(int fence, const QString& switchCaption, const QString& sideCaption, const QString& coordinate)
{
    QString line = QStringLiteral("SETI%1,").arg(fence);
    const bool out = sideCaption == QLatin1String("OUT");
    if (switchCaption == QLatin1String("OFF"))
        return Draft::send(line + QStringLiteral("0,") + (out ? QStringLiteral("1#") : QStringLiteral("0#")));
    line += QStringLiteral("1,") + (out ? QStringLiteral("1,") : QStringLiteral("0,"));
    if (coordinate.isEmpty())
        return Draft::refusal(QStringLiteral("PLS Input The Coordinate for GEO-FENCE"));
    return Draft::send(line + coordinate);
}

QString toggledSwitch(const QString& caption)
{
    if (caption == QLatin1String("OFF")) return QStringLiteral("ON");
    if (caption == QLatin1String("ON")) return QStringLiteral("OFF");
    return caption;
}

QString toggledSide(const QString& caption)
{
    if (caption == QLatin1String("OUT")) return QStringLiteral("IN");
    if (caption == QLatin1String("IN")) return QStringLiteral("OUT");
    return caption;
}

}  // namespace fence

// ---- other settings -------------------------------------------------------------------------

namespace other {

double leadingNumber(const QString& text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    QString number;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        number += text[i++];
    bool digits = false, point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits = true;
            number += c;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
            number += c;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    // An exponent counts only when digits follow it ("1e9"; "2E" is 2).
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        int j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            exponent += text[j++];
        int expDigits = 0;
        while (j < n && text[j] >= QLatin1Char('0') && text[j] <= QLatin1Char('9') && expDigits < 6) {
            exponent += text[j++];
            ++expDigits;
        }
        if (expDigits > 0)
            number += exponent;
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok && std::isfinite(value) ? value : (number.startsWith(QLatin1Char('-')) ? -HUGE_VAL : HUGE_VAL);
}

double roundHalfEven(double value)
{
    return std::nearbyint(value);   // the default rounding mode takes a half to the even neighbour
}

Draft battery(const QString& level)
{
    const double v = roundHalfEven(leadingNumber(level));
    if (v < 0 || v > 255)
        return Draft::refusal(kBatteryRange);
    if (v == 0)
        return Draft::send(QStringLiteral("SETN0,00"));
    return Draft::send(QStringLiteral("SETN1,") + QString::number(int(v)));
}

Draft chainBattery(const QString& level)
{
    const double v = leadingNumber(level);
    if (v < 0 || v > 255)
        return Draft::refusal(kBatteryRange);
    if (v == 0)
        return Draft::send(QStringLiteral("SETN0,00"));
    return Draft::send(QStringLiteral("SETN1,") + QString::number(v, 'g', 10));
}

namespace {
// The over-speed rules, shared by the row's button and the write chain; they differ only in the
// wording above 250 and in the note for an empty box.
Draft speedRule(const QString& speed, const QString& tooHigh)
{
    if (speed.isEmpty())
        return Draft::send(QStringLiteral("SETJ0,000"));
    const double v = roundHalfEven(leadingNumber(speed));
    if (v > 250)
        return Draft::refusal(tooHigh);
    if (v < 0)
        return Draft::refusal(kSpeedRange);
    if (v == 0)
        return Draft::send(QStringLiteral("SETJ0,000"));
    if (speed.size() < 3)
        return Draft::refusal(kReinput);
    return Draft::send(QStringLiteral("SETJ1,") + speed);
}
}  // namespace

Draft speed(const QString& speed)
{
    Draft d = speedRule(speed, QStringLiteral("The Input Value Can't Be Greater Than 250"));
    if (speed.isEmpty())
        d.notes << kCloseSpeeding;
    return d;
}

Draft chainSpeed(const QString& speed)
{
    return speedRule(speed, QStringLiteral("Input Value Can't Be Greater Than 250"));
}

Draft localTime(const QString& hours, const QString& minutes)
{
    if (hours.isEmpty())
        return Draft::refusal(QStringLiteral("PLS Input"));
    return Draft::send(QStringLiteral("SETL") + hours + QLatin1Char(':') +
                       (minutes.isEmpty() ? QStringLiteral("00") : minutes));
}

Draft fuel(const QString& text)
{
    return Draft::send(QStringLiteral("SETSO") + text);
}

Draft shake(const QString& step)
{
    Draft d = chainShake(step);
    if (step.isEmpty())
        d.notes << QStringLiteral("Close Shake Sensor");
    return d;
}

Draft chainShake(const QString& step)
{
    return Draft::send(QStringLiteral("SETS") + (step.isEmpty() ? QStringLiteral("0") : step));
}

Draft odometer(const QString& km)
{
    return Draft::send(QStringLiteral("SETQ") + (km.isEmpty() ? QStringLiteral("000000") : km));
}

Draft displacement(const QString& distance)
{
    Draft d = chainDisplacement(distance);
    if (isOffDistance(distance))
        d.notes << QStringLiteral("Close Shift Detection");
    return d;
}

Draft chainDisplacement(const QString& distance)
{
    if (isOffDistance(distance))
        return Draft::send(QStringLiteral("SETP0,010"));
    return Draft::send(QStringLiteral("SETP1,") + distance);
}

Draft password(const QString& password)
{
    if (password.isEmpty())
        return Draft::refusal(QStringLiteral("Password can't NULL"));
    return Draft::send(QStringLiteral("SETH") + password);
}

}  // namespace other

// ---- port functions -------------------------------------------------------------------------

namespace portset {

QString doorLine(bool high, bool low)
{
    QString line = QStringLiteral("SETXD");
    if (high)
        line += QStringLiteral("1B2F2");
    if (low)
        line += QStringLiteral("0B2F2");
    return line;
}

QString armLine(Arm arm, Level level)
{
    QString line = QStringLiteral("SETS");
    switch (arm) {
    case Arm::None: line += QStringLiteral("0,2,"); break;
    case Arm::Level: line += QStringLiteral("1,0,"); break;
    case Arm::Pulse: line += QStringLiteral("1,1,"); break;
    }
    if (level == Level::High)
        line += QLatin1Char('1');
    else if (level == Level::Low)
        line += QLatin1Char('0');
    return line;
}

QString lineFunction(bool option20, bool option19, bool option18)
{
    if (option20) return QStringLiteral("SETXD2B0F1");
    if (option19) return QStringLiteral("SETXD2B1F0");
    if (option18) return QStringLiteral("SETXD2B0F0");
    return QString();
}

}  // namespace portset

namespace special {

QString choice(const QString& prefix, bool first, const QString& firstDigit, bool second,
               const QString& secondDigit)
{
    if (first) return prefix + firstDigit;
    if (second) return prefix + secondDigit;
    return prefix;
}

}  // namespace special
