#include "sim/tracker.h"

namespace sim {

namespace {

constexpr QLatin1String kOk(" OK!");
constexpr QLatin1String kError("ERROR!");
constexpr QLatin1String kReset("RESET!");

// Leading whole number of a text (blanks, optional sign, digits); no digits gives 0. Large values
// are capped so that later clamping stays meaningful.
qint64 leadingNumber(const QString& text)
{
    int i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i)
        value = qMin<qint64>(value * 10 + (text[i].unicode() - u'0'), 1'000'000'000);
    return negative ? -value : value;
}

int clamped(const QString& text, int lo, int hi)
{
    return int(qBound(qint64(lo), leadingNumber(text), qint64(hi)));
}

// A value for a hex pair of the dump: one byte.
int byteOf(const QString& text) { return clamped(text, 0, 255); }

QString hexPair(int value) { return QString::asprintf("%02X", value & 0xFF); }

// "0,<value>" (off) or "1,<value>" (on), the form of SETN, SETJ and SETP.
bool splitSwitch(const QString& rest, bool* on, QString* value)
{
    if (rest.size() < 2 || rest[1] != u',' || (rest[0] != u'0' && rest[0] != u'1'))
        return false;
    *on = rest[0] == u'1';
    *value = rest.mid(2);
    return true;
}

// Groups and fields are all present in the tracker's own state; a state set from outside may
// leave some out, and those read as empty, off or the first choice.
template <class G> G& group(std::optional<G>& g)
{
    if (!g)
        g.emplace();
    return *g;
}

QString text(const std::optional<QString>& v) { return v.value_or(QString()); }

}  // namespace

using namespace bulk;

Tracker::Tracker() : p_(factory()) {}

Tracker::Params Tracker::factory()
{
    Params p;
    Gprs& g = p.gprs.emplace();
    g.apn = QStringLiteral("cmnet");
    g.apnUser = g.apnPassword = g.serverIp = g.serverPort = g.httpAddress = g.httpPort = QString();
    g.intervalOn = true;
    g.interval = QStringLiteral("030");
    g.intervalUnit = IntervalUnit::Sec;

    for (auto& number : p.telephones.emplace().number)
        number = QString();
    for (Fence& f : p.fences.emplace().fence)
        f = Fence{false, FenceSide::Out, QString()};

    OtherSettings& o = p.other.emplace();
    o.overSpeedOn = false;
    o.overSpeed = QStringLiteral("000");
    o.lowBatteryOn = true;
    o.lowBattery = QStringLiteral("20%");
    o.displacementOn = false;
    o.displacement = QStringLiteral("010");
    o.localHours = QStringLiteral("+08");
    o.localMinutes = QStringLiteral("00");
    o.fuel = QString();
    o.shakeStep = QStringLiteral("2");
    o.password = QStringLiteral("000000");
    o.odometer = QStringLiteral("000000");

    p.port = PortFunctions{Level::Low, ArmFunction::None, Level::Low, LineFunction::InputHigh};
    p.special = SpecialFunctions{LockType::Gas, Level::Low, InputTel::Talk, SosOutTel::Spk};
    p.identity = Identity{QStringLiteral("356000123456782"), QStringLiteral("1.0"), QStringLiteral("2.1")};
    return p;
}

void Tracker::reset()
{
    // The identity of the unit survives a reset of its settings.
    const auto identity = p_.identity;
    p_ = factory();
    p_.identity = identity;
    lastTest_ = -1;
}

QString Tracker::handle(const QString& line)
{
    // A blank line is no command: a tracker ignores it, as it ignores line noise.
    if (line.isEmpty())
        return {};
    if (!line.startsWith(QLatin1String("SET")))
        return kError;
    if (line == QLatin1String("SET10")) {
        reset();
        return kReset;
    }
    if (line == QLatin1String("SETG"))
        return dump();

    if (line.size() < 4)
        return kError;
    const QString rest = line.mid(4);
    bool on = false;
    QString value;
    Gprs& gprs = group(p_.gprs);
    OtherSettings& other = group(p_.other);
    switch (line[3].unicode()) {
    case u'C':
        return handleSetC(rest);
    case u'O': {
        const int comma = rest.indexOf(u',');
        gprs.apnUser = comma < 0 ? rest : rest.left(comma);
        gprs.apnPassword = comma < 0 ? QString() : rest.mid(comma + 1);
        return kOk;
    }
    case u'R': {
        const int semi = rest.indexOf(u';');
        gprs.httpAddress = semi < 0 ? rest : rest.left(semi);
        gprs.httpPort = semi < 0 ? QString() : rest.mid(semi + 1);
        return kOk;
    }
    case u'M':
        return handleSetM(rest);
    case u'A':
        return handleSetA(rest);
    case u'I':
        return handleSetI(rest);
    case u'N':
        if (!splitSwitch(rest, &on, &value))
            return kError;
        other.lowBatteryOn = on;
        other.lowBattery = value + u'%';   // the window's form; the dump reads the number before it
        return kOk;
    case u'J':
        if (!splitSwitch(rest, &on, &value))
            return kError;
        other.overSpeedOn = on;
        other.overSpeed = value;
        return kOk;
    case u'P':
        if (!splitSwitch(rest, &on, &value))
            return kError;
        other.displacementOn = on;
        other.displacement = value;
        return kOk;
    case u'L': {
        // "<sign><hours>:<minutes>", kept as the window's two boxes hold it
        const int colon = rest.indexOf(u':');
        other.localHours = colon < 0 ? rest : rest.left(colon);
        other.localMinutes = colon < 0 ? QString() : rest.mid(colon + 1);
        return kOk;
    }
    case u'S':
        if (rest.startsWith(u'O')) {
            other.fuel = rest.mid(1);
            return kOk;
        }
        return handleSetS(rest);
    case u'H':
        other.password = rest;
        return kOk;
    case u'Q':
        other.odometer = rest;
        return kOk;
    case u'X':
        if (!rest.startsWith(u'D'))
            return kError;
        return handleSetXD(rest.mid(1));
    case u'T':
        if (rest.size() != 1 || rest[0] < u'0' || rest[0] > u'4')
            return kError;
        lastTest_ = rest[0].unicode() - u'0';
        return kOk;
    case u'U':
        return handleSetU(rest);
    default:
        return kError;
    }
}

QString Tracker::handleSetC(const QString& rest)
{
    Gprs& gprs = group(p_.gprs);
    const int comma = rest.indexOf(u',');
    if (comma < 0) {                  // APN alone: the server stays as it was
        gprs.apn = rest;
        return kOk;
    }
    gprs.apn = rest.left(comma);
    const QString address = rest.mid(comma + 1);
    const int colon = address.lastIndexOf(u':');
    gprs.serverIp = colon < 0 ? address : address.left(colon);
    gprs.serverPort = colon < 0 ? QString() : address.mid(colon + 1);
    return kOk;
}

QString Tracker::handleSetM(const QString& rest)
{
    // <0|1>,<value><S|M|H>
    bool on = false;
    QString value;
    if (!splitSwitch(rest, &on, &value) || value.isEmpty())
        return kError;
    IntervalUnit unit;
    switch (value.back().unicode()) {
    case u'S': unit = IntervalUnit::Sec; break;
    case u'M': unit = IntervalUnit::Min; break;
    case u'H': unit = IntervalUnit::Hour; break;
    default: return kError;
    }
    Gprs& gprs = group(p_.gprs);
    gprs.intervalOn = on;
    gprs.intervalUnit = unit;
    gprs.interval = value.chopped(1);
    return kOk;
}

QString Tracker::handleSetA(const QString& rest)
{
    if (rest.size() < 2 || rest[0] < u'1' || rest[0] > u'8' || rest[1] != u',')
        return kError;
    const int slot = rest[0].unicode() - u'1';
    const QString number = rest.mid(2);
    group(p_.telephones).number[slot] = number == QLatin1String("D") ? QString() : number;
    return rest[0] + QStringLiteral("TEL OK!");
}

QString Tracker::handleSetI(const QString& rest)
{
    // <n>,0,<side>#   or   <n>,1,<side>,<coordinate>
    if (rest.size() < 5 || rest[0] < u'1' || rest[0] > u'5' || rest[1] != u',' || rest[3] != u','
        || (rest[4] != u'0' && rest[4] != u'1'))
        return kError;
    Fence& fence = group(p_.fences).fence[rest[0].unicode() - u'1'];
    const FenceSide side = rest[4] == u'1' ? FenceSide::Out : FenceSide::In;
    if (rest[2] == u'0') {
        if (rest.size() != 6 || rest[5] != u'#')
            return kError;
        fence.on = false;             // switched off: the coordinate is kept
        fence.side = side;
        return kOk;
    }
    if (rest[2] != u'1' || rest.size() < 6 || rest[5] != u',')
        return kError;
    fence.on = true;
    fence.side = side;
    fence.coordinate = rest.mid(6);
    return kOk;
}

QString Tracker::handleSetS(const QString& rest)
{
    // One value: the shake sensor step. Three comma-separated digits: the arm function.
    if (!rest.contains(u',')) {
        group(p_.other).shakeStep = rest;
        return kOk;
    }
    if (rest.size() != 5 || rest[1] != u',' || rest[3] != u',')
        return kError;
    const QChar a = rest[0], k = rest[2], l = rest[4];
    if ((a != u'0' && a != u'1') || k < u'0' || k > u'2' || (l != u'0' && l != u'1'))
        return kError;
    // a: armed at all; k: 0 level, 1 pulse, 2 none; l: 1 high / positive, 0 low / negative
    PortFunctions& port = group(p_.port);
    port.armFunction = a == u'0' || k == u'2' ? ArmFunction::None
                     : k == u'1'              ? ArmFunction::Pulse
                                              : ArmFunction::Level;
    port.armLevel = l == u'1' ? Level::High : Level::Low;
    return kOk;
}

QString Tracker::handleSetXD(const QString& arg)
{
    if (arg.isEmpty())
        return kOk;                   // nothing selected in the window: nothing changes
    PortFunctions& port = group(p_.port);
    const auto door = [this, &port](Level level) {
        port.doorLevel = level;
        group(p_.special).doorLevel = level;
    };
    if (arg == QLatin1String("1B2F2") || arg == QLatin1String("1"))
        door(Level::High);
    else if (arg == QLatin1String("0B2F2") || arg == QLatin1String("0"))
        door(Level::Low);
    else if (arg == QLatin1String("2B0F1"))
        port.lineFunction = LineFunction::CallOut;
    else if (arg == QLatin1String("2B1F0"))
        port.lineFunction = LineFunction::InputHigh;
    else if (arg == QLatin1String("2B0F0"))
        port.lineFunction = LineFunction::InputLow;
    else
        return kError;
    return kOk;
}

QString Tracker::handleSetU(const QString& arg)
{
    if (arg.isEmpty() || arg == QLatin1String("2,"))
        return kOk;                   // bare prefix: nothing selected, nothing changes
    SpecialFunctions& special = group(p_.special);
    if (arg == QLatin1String("0"))
        special.inputTel = InputTel::Talk;
    else if (arg == QLatin1String("1"))
        special.inputTel = InputTel::Listen;
    else if (arg == QLatin1String("3"))
        special.sosOutTel = SosOutTel::Mute;
    else if (arg == QLatin1String("4"))
        special.sosOutTel = SosOutTel::Spk;
    else if (arg == QLatin1String("2,1"))
        special.lockType = LockType::Elc;
    else if (arg == QLatin1String("2,0"))
        special.lockType = LockType::Gas;
    else
        return kError;
    return kOk;
}

QString Tracker::dump(bool condorLines) const
{
    const QString eol = QStringLiteral("\r\n");
    const Gprs g = p_.gprs.value_or(Gprs{});
    const OtherSettings o = p_.other.value_or(OtherSettings{});
    const PortFunctions port = p_.port.value_or(PortFunctions{});
    const SpecialFunctions special = p_.special.value_or(SpecialFunctions{});
    const Identity id = p_.identity.value_or(Identity{});
    const Telephones tel = p_.telephones.value_or(Telephones{});
    const Fences fences = p_.fences.value_or(Fences{});
    QString out;

    // Telephone numbers A..H, then the GPRS fields, each closed by ';'.
    for (int i = 0; i < 8; ++i)
        out += QChar(u'A' + i) + text(tel.number[i]) + u';';
    out += text(g.apn) + u';' + text(g.apnUser) + u';' + text(g.apnPassword) + u';' + text(g.serverIp) + u';'
         + text(g.serverPort) + u';' + eol;

    // The odometer is printed as a number of at least six digits.
    out += QString::number(qMax<qint64>(0, leadingNumber(text(o.odometer)))).rightJustified(6, u'0')
         + QStringLiteral(";Record:,");
    std::array<int, 16> block{};
    block[0] = byteOf(text(g.interval));
    block[4] = byteOf(text(o.displacement));
    // The unit as the letter the SETM command carried.
    if (g.intervalUnit)
        block[8] = *g.intervalUnit == IntervalUnit::Sec ? 'S' : *g.intervalUnit == IntervalUnit::Min ? 'M' : 'H';
    block[10] = byteOf(text(o.shakeStep));
    // In the block the door level reads "0" for high, and input TEL "1" for Talk.
    block[12] = special.doorLevel == Level::High ? 0x00 : 0x10;
    block[13] = special.inputTel == InputTel::Talk ? 0x10 : 0x00;
    block[14] = special.sosOutTel == SosOutTel::Mute ? 0x10 : 0x00;
    block[15] = special.lockType == LockType::Elc ? 0x10 : 0x00;
    for (int v : block)
        out += hexPair(v);
    out += eol;

    out += QStringLiteral("HP:") + text(g.httpAddress) + u',' + text(g.httpPort) + eol;
    out += QStringLiteral("IMEI:") + text(id.imei) + QStringLiteral(",Ver:") + text(id.hardwareVersion) + u','
         + text(id.softwareVersion) + u',' + eol;
    for (int i = 0; i < 5; ++i)
        out += QString::number(i + 1) + u':' + text(fences.fence[i].coordinate) + eol;

    int switches = 0, sides = 0, defined = 0;
    for (int i = 0; i < 5; ++i) {
        const Fence& f = fences.fence[i];
        if (f.on == true)
            switches |= 1 << i;
        if (f.side != FenceSide::In)
            sides |= 1 << i;
        if (!text(f.coordinate).isEmpty())
            defined |= 1 << i;
    }
    out += hexPair(0xE0 | switches) + eol + hexPair(0xE0 | sides) + eol + hexPair(0xE0 | defined) + eol;

    if (condorLines) {
        int io = 0;
        if (port.lineFunction == LineFunction::CallOut)
            io = 0x10;
        else if (port.lineFunction == LineFunction::InputLow)
            io = 0x01;
        int arm = 0;
        if (port.armFunction == ArmFunction::Pulse)
            arm = 0x40;
        else if (port.armFunction != ArmFunction::Level)
            arm = 0x80;
        if (port.armLevel != Level::High)
            arm |= 0x20;
        out += hexPair(io) + eol + hexPair(arm) + eol;
    }

    const auto flag = [](std::optional<bool> on) { return on == true ? u'1' : u'0'; };
    const QString level = o.lowBatteryOn == true
        ? QString::number(clamped(text(o.lowBattery), 0, 99)).rightJustified(2, u'0') + u'%'
        : QStringLiteral("00%");
    out += QStringLiteral("Speed:") + QString::number(byteOf(text(o.overSpeed))) + u';' + flag(o.overSpeedOn)
         + u',' + flag(g.intervalOn) + QStringLiteral(",0,") + flag(o.displacementOn)
         + QStringLiteral(",0,") + flag(o.lowBatteryOn) + u',' + level + eol;

    out += QStringLiteral("Password:") + text(o.password) + eol;

    // Local time: sign in bit 7, +30 min bit 6, +15 min bit 5, hours in bits 0-4. Minutes fall to
    // the quarter hour below.
    const QString hoursText = text(o.localHours);
    const bool negative = hoursText.startsWith(u'-');
    const QString unsignedHours =
        (hoursText.startsWith(u'-') || hoursText.startsWith(u'+')) ? hoursText.mid(1) : hoursText;
    const int hours = clamped(unsignedHours, 0, 31);
    const int minutes = clamped(text(o.localMinutes), 0, 59);
    int zone = hours;
    if (!negative)
        zone |= 0x80;
    if (minutes >= 30)
        zone |= 0x40;
    if ((minutes >= 15 && minutes < 30) || minutes >= 45)
        zone |= 0x20;
    out += hexPair(zone) + eol;
    return out;
}

}  // namespace sim
