#include "sim/tracker.h"

namespace sim {

namespace {

const QString kOk = QStringLiteral(" OK!");
const QString kError = QStringLiteral("ERROR!");
const QString kReset = QStringLiteral("RESET!");

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

}  // namespace

Tracker::Tracker() : p_(factory()) {}

Tracker::Params Tracker::factory()
{
    Params p;
    p.apn = QStringLiteral("cmnet");
    p.intervalOn = true;
    p.interval = QStringLiteral("030");
    p.intervalUnit = u'S';
    p.speedOn = false;
    p.speed = QStringLiteral("000");
    p.batteryOn = true;
    p.batteryLevel = QStringLiteral("20");
    p.displacementOn = false;
    p.displacement = QStringLiteral("010");
    p.localTime = QStringLiteral("+08:00");
    p.shakeStep = QStringLiteral("2");
    p.password = QStringLiteral("000000");
    p.odometer = QStringLiteral("000000");
    p.armOn = false;
    p.armKind = 2;
    p.armLevel = 0;
    p.doorHigh = false;
    p.lineFunction = LineFunction::InputHigh;
    p.inputTelTalk = true;
    p.sosMute = false;
    p.lockElc = false;
    p.imei = QStringLiteral("356000123456782");
    p.hwVersion = QStringLiteral("1.0");
    p.swVersion = QStringLiteral("2.1");
    return p;
}

void Tracker::reset()
{
    // The identity of the unit survives a reset of its settings.
    const QString imei = p_.imei, hw = p_.hwVersion, sw = p_.swVersion;
    p_ = factory();
    p_.imei = imei;
    p_.hwVersion = hw;
    p_.swVersion = sw;
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
    switch (line[3].unicode()) {
    case u'C':
        return handleSetC(rest);
    case u'O': {
        const int comma = rest.indexOf(u',');
        p_.apnUser = comma < 0 ? rest : rest.left(comma);
        p_.apnPassword = comma < 0 ? QString() : rest.mid(comma + 1);
        return kOk;
    }
    case u'R': {
        const int semi = rest.indexOf(u';');
        p_.httpAddress = semi < 0 ? rest : rest.left(semi);
        p_.httpPort = semi < 0 ? QString() : rest.mid(semi + 1);
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
        p_.batteryOn = on;
        p_.batteryLevel = value;
        return kOk;
    case u'J':
        if (!splitSwitch(rest, &on, &value))
            return kError;
        p_.speedOn = on;
        p_.speed = value;
        return kOk;
    case u'P':
        if (!splitSwitch(rest, &on, &value))
            return kError;
        p_.displacementOn = on;
        p_.displacement = value;
        return kOk;
    case u'L':
        p_.localTime = rest;
        return kOk;
    case u'S':
        if (rest.startsWith(u'O')) {
            p_.fuel = rest.mid(1);
            return kOk;
        }
        return handleSetS(rest);
    case u'H':
        p_.password = rest;
        return kOk;
    case u'Q':
        p_.odometer = rest;
        return kOk;
    case u'X':
        if (!rest.startsWith(u'D'))
            return kError;
        return handleSetXD(rest.mid(1));
    case u'T':
        if (rest.size() != 1 || rest[0] < u'0' || rest[0] > u'4')
            return kError;
        p_.lastTest = rest[0].unicode() - u'0';
        return kOk;
    case u'U':
        return handleSetU(rest);
    default:
        return kError;
    }
}

QString Tracker::handleSetC(const QString& rest)
{
    const int comma = rest.indexOf(u',');
    if (comma < 0) {                  // APN alone: the server stays as it was
        p_.apn = rest;
        return kOk;
    }
    p_.apn = rest.left(comma);
    const QString address = rest.mid(comma + 1);
    const int colon = address.lastIndexOf(u':');
    p_.serverIp = colon < 0 ? address : address.left(colon);
    p_.serverPort = colon < 0 ? QString() : address.mid(colon + 1);
    return kOk;
}

QString Tracker::handleSetM(const QString& rest)
{
    // <0|1>,<value><unit letter>
    bool on = false;
    QString value;
    if (!splitSwitch(rest, &on, &value) || value.isEmpty() || !value.back().isLetter())
        return kError;
    p_.intervalOn = on;
    p_.intervalUnit = value.back();
    p_.interval = value.chopped(1);
    return kOk;
}

QString Tracker::handleSetA(const QString& rest)
{
    if (rest.size() < 2 || rest[0] < u'1' || rest[0] > u'8' || rest[1] != u',')
        return kError;
    const int slot = rest[0].unicode() - u'1';
    const QString number = rest.mid(2);
    p_.tel[slot] = number == QLatin1String("D") ? QString() : number;
    return rest[0] + QStringLiteral("TEL OK!");
}

QString Tracker::handleSetI(const QString& rest)
{
    // <n>,0,<side>#   or   <n>,1,<side>,<coordinate>
    if (rest.size() < 5 || rest[0] < u'1' || rest[0] > u'5' || rest[1] != u',' || rest[3] != u','
        || (rest[4] != u'0' && rest[4] != u'1'))
        return kError;
    Fence& fence = p_.fences[rest[0].unicode() - u'1'];
    const bool out = rest[4] == u'1';
    if (rest[2] == u'0') {
        if (rest.size() != 6 || rest[5] != u'#')
            return kError;
        fence.on = false;             // switched off: the coordinate is kept
        fence.out = out;
        return kOk;
    }
    if (rest[2] != u'1' || rest.size() < 6 || rest[5] != u',')
        return kError;
    fence.on = true;
    fence.out = out;
    fence.coordinate = rest.mid(6);
    return kOk;
}

QString Tracker::handleSetS(const QString& rest)
{
    // One value: the shake sensor step. Three comma-separated digits: the arm function.
    if (!rest.contains(u',')) {
        p_.shakeStep = rest;
        return kOk;
    }
    if (rest.size() != 5 || rest[1] != u',' || rest[3] != u',')
        return kError;
    const QChar a = rest[0], k = rest[2], l = rest[4];
    if ((a != u'0' && a != u'1') || k < u'0' || k > u'2' || (l != u'0' && l != u'1'))
        return kError;
    p_.armOn = a == u'1';
    p_.armKind = k.unicode() - u'0';
    p_.armLevel = l.unicode() - u'0';
    return kOk;
}

QString Tracker::handleSetXD(const QString& arg)
{
    if (arg.isEmpty())
        return kOk;                   // nothing selected in the window: nothing changes
    if (arg == QLatin1String("1B2F2") || arg == QLatin1String("1"))
        p_.doorHigh = true;
    else if (arg == QLatin1String("0B2F2") || arg == QLatin1String("0"))
        p_.doorHigh = false;
    else if (arg == QLatin1String("2B0F1"))
        p_.lineFunction = LineFunction::CallOut;
    else if (arg == QLatin1String("2B1F0"))
        p_.lineFunction = LineFunction::InputHigh;
    else if (arg == QLatin1String("2B0F0"))
        p_.lineFunction = LineFunction::InputLow;
    else
        return kError;
    return kOk;
}

QString Tracker::handleSetU(const QString& arg)
{
    if (arg.isEmpty() || arg == QLatin1String("2,"))
        return kOk;                   // bare prefix: nothing selected, nothing changes
    if (arg == QLatin1String("0"))
        p_.inputTelTalk = true;
    else if (arg == QLatin1String("1"))
        p_.inputTelTalk = false;
    else if (arg == QLatin1String("3"))
        p_.sosMute = true;
    else if (arg == QLatin1String("4"))
        p_.sosMute = false;
    else if (arg == QLatin1String("2,1"))
        p_.lockElc = true;
    else if (arg == QLatin1String("2,0"))
        p_.lockElc = false;
    else
        return kError;
    return kOk;
}

QString Tracker::dump(bool condorLines) const
{
    const QString eol = QStringLiteral("\r\n");
    QString out;

    // Telephone numbers A..H, then the GPRS fields, each closed by ';'.
    for (int i = 0; i < 8; ++i)
        out += QChar(u'A' + i) + p_.tel[i] + u';';
    out += p_.apn + u';' + p_.apnUser + u';' + p_.apnPassword + u';' + p_.serverIp + u';'
         + p_.serverPort + u';' + eol;

    // The odometer is printed as a number of at least six digits.
    out += QString::number(qMax<qint64>(0, leadingNumber(p_.odometer))).rightJustified(6, u'0')
         + QStringLiteral(";Record:,");
    std::array<int, 16> block{};
    block[0] = byteOf(p_.interval);
    block[4] = byteOf(p_.displacement);
    block[8] = p_.intervalUnit.unicode() & 0xFF;
    block[10] = byteOf(p_.shakeStep);
    // In the block the door level reads "0" for high, and input TEL "1" for Talk.
    block[12] = p_.doorHigh ? 0x00 : 0x10;
    block[13] = p_.inputTelTalk ? 0x10 : 0x00;
    block[14] = p_.sosMute ? 0x10 : 0x00;
    block[15] = p_.lockElc ? 0x10 : 0x00;
    for (int v : block)
        out += hexPair(v);
    out += eol;

    out += QStringLiteral("HP:") + p_.httpAddress + u',' + p_.httpPort + eol;
    out += QStringLiteral("IMEI:") + p_.imei + QStringLiteral(",Ver:") + p_.hwVersion + u','
         + p_.swVersion + u',' + eol;
    for (int i = 0; i < 5; ++i)
        out += QString::number(i + 1) + u':' + p_.fences[i].coordinate + eol;

    int switches = 0, sides = 0, defined = 0;
    for (int i = 0; i < 5; ++i) {
        const Fence& f = p_.fences[i];
        if (f.on)
            switches |= 1 << i;
        if (f.out)
            sides |= 1 << i;
        if (!f.coordinate.isEmpty())
            defined |= 1 << i;
    }
    out += hexPair(0xE0 | switches) + eol + hexPair(0xE0 | sides) + eol + hexPair(0xE0 | defined) + eol;

    if (condorLines) {
        int io = 0;
        if (p_.lineFunction == LineFunction::CallOut)
            io = 0x10;
        else if (p_.lineFunction == LineFunction::InputLow)
            io = 0x01;
        int arm = 0;
        if (!p_.armOn || p_.armKind == 2)
            arm = 0x80;
        else if (p_.armKind == 1)
            arm = 0x40;
        if (p_.armLevel == 0)
            arm |= 0x20;
        out += hexPair(io) + eol + hexPair(arm) + eol;
    }

    const auto flag = [](bool on) { return on ? u'1' : u'0'; };
    const QString level = p_.batteryOn
        ? QString::number(clamped(p_.batteryLevel, 0, 99)).rightJustified(2, u'0') + u'%'
        : QStringLiteral("00%");
    out += QStringLiteral("Speed:") + QString::number(byteOf(p_.speed)) + u';' + flag(p_.speedOn)
         + u',' + flag(p_.intervalOn) + QStringLiteral(",0,") + flag(p_.displacementOn)
         + QStringLiteral(",0,") + flag(p_.batteryOn) + u',' + level + eol;

    out += QStringLiteral("Password:") + p_.password + eol;

    // Local time "<sign><hours>:<minutes>": sign in bit 7, +30 min bit 6, +15 min bit 5, hours
    // in bits 0-4. Minutes fall to the quarter hour below.
    const QString& t = p_.localTime;
    const bool negative = t.startsWith(u'-');
    const QString unsigned_ = (t.startsWith(u'-') || t.startsWith(u'+')) ? t.mid(1) : t;
    const int colon = unsigned_.indexOf(u':');
    const int hours = clamped(colon < 0 ? unsigned_ : unsigned_.left(colon), 0, 31);
    const int minutes = colon < 0 ? 0 : clamped(unsigned_.mid(colon + 1), 0, 59);
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
