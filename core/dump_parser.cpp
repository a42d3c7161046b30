#include "core/dump_parser.h"

#include <optional>

// Reading the parameter dump.
//
// Positions are indices into the reply (from 0 here). Every read is bounds-checked, so the parser
// never looks past the end of the text.
//
// A dump the tracker cut short or garbled is handled the same way everywhere: the fields read so
// far are kept, the rest stay absent, and the read is marked incomplete.
// A field is kept only when it is whole: a field collected up to a terminator needs that
// terminator in the text, a hex pair needs both of its characters, a fixed-length field all of
// its characters, and characters that are skipped must be there too. A field cut by the end of the
// text is therefore never kept half-read, and every field a prefix of a good dump yields has the
// value the whole dump gives it.
//
// Out of format as well, with the same outcome: a marker that is missing, a telephone number whose
// letters give a length below 0 or above 255, an over-speed that is empty, not all decimal digits
// or above 255, a fence pair below E0, and a reply longer than 32,767 characters (the tracker's
// positions are 16-bit; such a reply is not read at all).

namespace bulk {
namespace {

constexpr qsizetype kMaxReply = 32767;
constexpr int kFencePairBase = 0xE0;  // the three fence pairs carry 111 in their top bits

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

QString threeDigits(int value)
{
    return QString::number(value).rightJustified(3, u'0');
}


class DumpReader {
public:
    DumpReader(const QString& reply, DumpRead& out) : s_(reply), out_(out) {}

    // false: the dump ended early or was out of format.
    bool read(bool condor)
    {
        return telephones() && gprs() && odometer() && parameterBlock() && http() && imei()
               && fences() && (!condor || condorPairs()) && overSpeed() && passwordAndTime();
    }

private:
    struct Field {
        QString text;
        qsizetype end;  // index of the terminator
    };

    bool has(qsizetype i) const { return i >= 0 && i < s_.size(); }

    // First occurrence of a marker in the whole reply, or -1.
    qsizetype marker(QStringView m) const { return s_.indexOf(m); }

    // Characters from `from` up to, not including, the first `stop` at or after `from`.
    std::optional<Field> upTo(qsizetype from, QChar stop) const
    {
        if (!has(from))
            return std::nullopt;
        const qsizetype end = s_.indexOf(stop, from);
        if (end < 0)
            return std::nullopt;
        return Field{s_.mid(from, end - from), end};
    }

    // A pair whose first character is not a hex digit reads 0, one whose second is not reads the
    // first digit alone. Both characters must be in the text.
    std::optional<int> hexPair(qsizetype at, const char* key)
    {
        if (!has(at) || !has(at + 1))
            return std::nullopt;
        if (hexDigit(s_.at(at)) < 0 || hexDigit(s_.at(at + 1)) < 0)
            inexact(key, s_.mid(at, 2));
        const int hi = hexDigit(s_.at(at));
        if (hi < 0)
            return 0;
        const int lo = hexDigit(s_.at(at + 1));
        return lo < 0 ? hi : hi * 16 + lo;
    }

    void inexact(const char* key, const QString& text)
    {
        out_.inexact << QStringLiteral("%1 (\"%2\")").arg(QLatin1String(key), text);
    }

    // A group comes into the read with its first field.
    template <class G> static G& group(std::optional<G>& g)
    {
        if (!g)
            g.emplace();
        return *g;
    }
    Gprs& gprsGroup() { return group(out_.params.gprs); }
    OtherSettings& otherGroup() { return group(out_.params.other); }
    SpecialFunctions& specialGroup() { return group(out_.params.special); }
    Identity& identityGroup() { return group(out_.params.identity); }
    Fence& fence(int n) { return group(out_.params.fences).fence[n - 1]; }

    // Numbers 1 to 7 lie between the letters A..H, one separator character before each next letter.
    bool telephones()
    {
        qsizetype pL = 0;  // "A" is the first character
        for (int i = 0; i < 7; ++i) {
            const qsizetype pM = s_.indexOf(QChar(char16_t(u'B' + i)));
            if (pM < 0)
                return false;
            const qsizetype length = pM - pL - 2;
            if (length < 0 || length > 255)
                return false;
            group(out_.params.telephones).number[i] = s_.mid(pL + 1, length);
            pL = pM;
        }
        // pL is now the first "H"; number 8 runs up to ";".
        const auto number8 = upTo(pL + 1, u';');
        if (!number8)
            return false;
        group(out_.params.telephones).number[7] = number8->text;
        pos_ = number8->end + 1;
        return true;
    }

    bool gprs()
    {
        std::optional<QString> Gprs::*const fields[] = {&Gprs::apn, &Gprs::apnUser, &Gprs::apnPassword,
                                                        &Gprs::serverIp, &Gprs::serverPort};
        for (auto field : fields) {
            const auto text = upTo(pos_, u';');
            if (!text)
                return false;
            gprsGroup().*field = text->text;
            pos_ = text->end + 1;
        }
        return true;
    }

    // The odometer follows the first line end after the port, 2 characters after its "\r".
    bool odometer()
    {
        const auto skipped = upTo(pos_, u'\r');
        if (!skipped)
            return false;
        const qsizetype start = skipped->end + 2;
        qsizetype length = 0;
        while (length < 6) {
            if (!has(start + length))
                return false;
            if (s_.at(start + length) == u';')
                break;
            ++length;
        }
        otherGroup().odometer = s_.mid(start, length);
        if (length == 6 && has(start + 6) && s_.at(start + 6).isDigit()) {
            const qsizetype end = s_.indexOf(u';', start);
            inexact("other.odometer", s_.mid(start, end < 0 ? 6 : end - start));
        }
        return true;
    }

    bool parameterBlock()
    {
        const qsizetype ord = marker(u"ord:");
        if (ord < 0)
            return false;
        const auto head = upTo(ord + 4, u',');
        if (!head)
            return false;
        const qsizetype comma = head->end;
        const auto pairAt = [comma](int k) { return comma + 1 + 2 * k; };

        const auto interval = hexPair(pairAt(0), "gprs.interval");
        if (!interval || !has(pairAt(8) + 1))
            return false;
        // The unit is a letter's character code, compared as written (upper-case hex only).
        const QString unit = s_.mid(pairAt(8), 2);
        if (unit == u"53" || unit == u"73")
            gprsGroup().intervalUnit = IntervalUnit::Sec;
        else if (unit == u"4D" || unit == u"6D")
            gprsGroup().intervalUnit = IntervalUnit::Min;
        else if (unit == u"48" || unit == u"68")
            gprsGroup().intervalUnit = IntervalUnit::Hour;
        else
            out_.intervalError = true;
        gprsGroup().interval = threeDigits(*interval);

        const auto displacement = hexPair(pairAt(4), "other.displacement");
        if (!displacement)
            return false;
        otherGroup().displacement = threeDigits(*displacement);

        const auto shake = hexPair(pairAt(10), "other.shakeStep");
        if (!shake)
            return false;
        otherGroup().shakeStep = QString::number(*shake);

        // Pairs 12 to 15: only the first digit counts, "0" or "1"; anything else leaves it absent.
        const auto digit = [&](int pair) -> std::optional<QChar> {
            if (!has(pairAt(pair)))
                return std::nullopt;
            return s_.at(pairAt(pair));
        };
        const auto choose = [this](QChar d, auto ifZero, auto ifOne, auto& field, const char* key) {
            if (d == u'0')
                field = ifZero;
            else if (d == u'1')
                field = ifOne;
            else
                inexact(key, d);
        };
        for (int pair = 12; pair <= 15; ++pair) {
            const auto d = digit(pair);
            if (!d)
                return false;
            SpecialFunctions& s = specialGroup();
            switch (pair) {
            case 12: choose(*d, Level::High, Level::Low, s.doorLevel, "special.doorLevel"); break;
            case 13: choose(*d, InputTel::Listen, InputTel::Talk, s.inputTel, "special.inputTel"); break;
            case 14: choose(*d, SosOutTel::Spk, SosOutTel::Mute, s.sosOutTel, "special.sosOutTel"); break;
            case 15: choose(*d, LockType::Gas, LockType::Elc, s.lockType, "special.lockType"); break;
            }
        }
        return true;
    }

    bool http()
    {
        const qsizetype hp = marker(u"HP:");
        if (hp < 0)
            return false;
        const auto address = upTo(hp + 3, u',');
        if (!address)
            return false;
        gprsGroup().httpAddress = address->text;
        const auto port = upTo(address->end + 1, u'\r');
        if (!port)
            return false;
        gprsGroup().httpPort = port->text;
        return true;
    }

    // IMEI, then 4 skipped characters, hardware version, software version.
    bool imei()
    {
        const qsizetype at = marker(u"IMEI:");
        if (at < 0)
            return false;
        const auto number = upTo(at + 5, u',');
        if (!number)
            return false;
        identityGroup().imei = number->text;
        const auto hardware = upTo(number->end + 5, u',');
        if (!hardware)
            return false;
        identityGroup().hardwareVersion = hardware->text;
        const auto software = upTo(hardware->end + 1, u',');
        if (!software)
            return false;
        identityGroup().softwareVersion = software->text;
        pos_ = software->end + 5;
        return true;
    }

    // The five fence texts, then the switch, side and defined pairs (bit 0 is fence 1). A fence
    // the defined pair leaves out is empty and switched off, whatever the other pairs said.
    bool fences()
    {
        qsizetype start = pos_;
        qsizetype lineEnd = -1;
        for (int n = 1; n <= 5; ++n) {
            const auto text = upTo(start, u'\r');
            if (!text)
                return false;
            fence(n).coordinate = text->text;
            lineEnd = text->end;
            start = lineEnd + 4;
        }
        pos_ = lineEnd + 2;  // switch pair

        const auto fenceBits = [this](qsizetype at) -> std::optional<int> {
            const auto pair = hexPair(at, "fences");
            if (!pair || *pair < kFencePairBase)
                return std::nullopt;
            return *pair - kFencePairBase;
        };

        const auto switches = fenceBits(pos_);
        if (!switches)
            return false;
        for (int n = 1; n <= 5; ++n)
            fence(n).on = (*switches & (1 << (n - 1))) != 0;

        const auto sides = fenceBits(pos_ + 4);
        if (!sides)
            return false;
        for (int n = 1; n <= 5; ++n)
            fence(n).side = *sides & (1 << (n - 1)) ? FenceSide::Out : FenceSide::In;

        const auto defined = fenceBits(pos_ + 8);
        if (!defined)
            return false;
        for (int n = 1; n <= 5; ++n) {
            if (!(*defined & (1 << (n - 1)))) {
                fence(n).coordinate = QString();
                fence(n).on = false;
            }
        }
        return true;
    }

    // Only the Condor model carries these two pairs, after the fence pairs.
    bool condorPairs()
    {
        const auto io = hexPair(pos_ + 12, "port.lineFunction");
        if (!io)
            return false;
        PortFunctions& port = group(out_.params.port);
        port.lineFunction = *io & 0x10 ? LineFunction::CallOut
                          : *io & 0x01 ? LineFunction::InputLow
                                       : LineFunction::InputHigh;

        const auto arm = hexPair(pos_ + 16, "port.armFunction");
        if (!arm)
            return false;
        if (*arm & 0x80) {
            port.armFunction = ArmFunction::None;
        } else if (*arm & 0x40) {
            // The window keeps its level options as they were for a pulse arm, but the tracker
            // holds a polarity all the same: a profile made of the read must carry it.
            port.armFunction = ArmFunction::Pulse;
        } else {
            port.armFunction = ArmFunction::Level;
        }
        port.armLevel = *arm & 0x20 ? Level::Low : Level::High;
        return true;
    }

    // Over-speed up to ";" (Q), then the off flags at Q+1, Q+3, Q+7, Q+11 and the battery level.
    bool overSpeed()
    {
        const qsizetype ed = marker(u"ed:");
        if (ed < 0)
            return false;
        const auto digits = upTo(ed + 3, u';');
        if (!digits || digits->text.isEmpty())
            return false;
        int value = 0;
        for (QChar c : digits->text) {
            if (c.unicode() < u'0' || c.unicode() > u'9')
                return false;
            value = value * 10 + (c.unicode() - u'0');
            if (value > 255)
                return false;
        }
        const QString pad = value < 10 ? QStringLiteral("00") : value < 100 ? QStringLiteral("0") : QString();
        otherGroup().overSpeed = pad + digits->text;

        // A flag reads off when it is "0"; any other character is on.
        const qsizetype q = digits->end;
        const auto flagOn = [this](qsizetype at) -> std::optional<bool> {
            if (!has(at))
                return std::nullopt;
            return s_.at(at) != u'0';
        };
        if (!(otherGroup().overSpeedOn = flagOn(q + 1)))
            return false;
        if (!(gprsGroup().intervalOn = flagOn(q + 3)))
            return false;
        if (!(otherGroup().displacementOn = flagOn(q + 7)))
            return false;
        if (!(otherGroup().lowBatteryOn = flagOn(q + 11)))
            return false;

        // The level itself always follows, whatever the flag said.
        const auto head = upTo(q + 11, u',');
        if (!head || !has(head->end + 3))
            return false;
        otherGroup().lowBattery = s_.mid(head->end + 1, 3);
        return true;
    }

    bool passwordAndTime()
    {
        const qsizetype word = marker(u"word:");
        if (word < 0)
            return false;
        const auto password = upTo(word + 5, u'\r');
        if (!password)
            return false;
        otherGroup().password = password->text;

        const auto local = hexPair(password->end + 2, "other.localHours");
        if (!local)
            return false;
        const QString sign = *local & 0x80 ? QStringLiteral("+") : QStringLiteral("-");
        const int hours = *local & 0x1F;
        if (hours > 23) {
            // The read stops here on purpose: the sign stays, the minutes are left alone.
            otherGroup().localHours = sign;
            out_.localTimeError = true;
            return true;
        }
        otherGroup().localHours = sign + QString::number(hours).rightJustified(2, u'0');
        const int minutes = (*local & 0x40 ? 30 : 0) + (*local & 0x20 ? 15 : 0);
        otherGroup().localMinutes = QString::number(minutes).rightJustified(2, u'0');
        return true;
    }

    const QString& s_;
    DumpRead& out_;
    qsizetype pos_ = 0;  // where the next positional field (not found by a marker) starts
};

}  // namespace

DumpRead parseDump(const QString& reply, bool condor)
{
    DumpRead read;
    if (reply.isEmpty() || reply.at(0) != u'A')
        return read;
    read.incomplete = reply.size() > kMaxReply || !DumpReader(reply, read).read(condor);
    return read;
}

}  // namespace bulk
