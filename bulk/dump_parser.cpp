#include "bulk/dump_parser.h"

#include <optional>

// Reading the parameter dump.
//
// Positions are indices into the reply (from 0 here). Every read is bounds-checked, so the parser
// never looks past the end of the text.
//
// A dump the tracker cut short or garbled is handled the same way everywhere: the fields read so
// far stay applied, then one kIncompleteDump message closes the list and nothing else follows.
// A field is applied only when it is whole: a field collected up to a terminator needs that
// terminator in the text, a hex pair needs both of its characters, a fixed-length field all of
// its characters, and characters that are skipped must be there too. A field cut by the end of the
// text is therefore never applied half-read, and the effects of any prefix of a good dump are a
// prefix of the good dump's effects.
//
// Out of format as well, with the same outcome: a marker that is missing, a telephone number whose
// letters give a length below 0 or above 255, an over-speed that is empty, not all decimal digits
// or above 255, a fence pair below E0, and a reply longer than 32,767 characters (the tracker's
// positions are 16-bit; such a reply is not read at all, the message is the only effect).

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
    DumpReader(const QString& reply, std::vector<Effect>& out) : s_(reply), out_(out) {}

    // false: the dump ended early or was out of format; the caller adds the message.
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
    std::optional<int> hexPair(qsizetype at) const
    {
        if (!has(at) || !has(at + 1))
            return std::nullopt;
        const int hi = hexDigit(s_.at(at));
        if (hi < 0)
            return 0;
        const int lo = hexDigit(s_.at(at + 1));
        return lo < 0 ? hi : hi * 16 + lo;
    }

    void setText(const QString& control, const QString& text)
    {
        out_.push_back({Effect::SetText, control, text});
    }
    void select(const QString& option) { out_.push_back({Effect::Select, option, {}}); }
    void deselect(const QString& option) { out_.push_back({Effect::Deselect, option, {}}); }
    void setCheck(const QString& box, bool on, const QString& caption)
    {
        out_.push_back({Effect::SetCheck, box, caption, on});
    }
    void hide(const QString& widget) { out_.push_back({Effect::Hide, widget, {}}); }
    void message(const QString& text) { out_.push_back({Effect::Message, {}, text}); }

    // Numbers 1 to 7 lie between the letters A..H, one separator character before each next letter.
    bool telephones()
    {
        static const char* const boxes[] = {"Text6", "Text7", "Text8", "Text25",
                                            "Text26", "Text27", "Text28"};
        qsizetype pL = 0;  // "A" is the first character
        for (int i = 0; i < 7; ++i) {
            const qsizetype pM = s_.indexOf(QChar(char16_t(u'B' + i)));
            if (pM < 0)
                return false;
            const qsizetype length = pM - pL - 2;
            if (length < 0 || length > 255)
                return false;
            setText(QString::fromLatin1(boxes[i]), s_.mid(pL + 1, length));
            pL = pM;
        }
        // pL is now the first "H"; number 8 runs up to ";".
        const auto number8 = upTo(pL + 1, u';');
        if (!number8)
            return false;
        setText(QStringLiteral("Text29"), number8->text);
        pos_ = number8->end + 1;
        return true;
    }

    bool gprs()
    {
        static const char* const boxes[] = {"Text1", "Text19", "Text20", "Text3", "Text5"};
        for (const char* box : boxes) {
            const auto field = upTo(pos_, u';');
            if (!field)
                return false;
            setText(QString::fromLatin1(box), field->text);
            pos_ = field->end + 1;
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
        setText(QStringLiteral("Text18"), s_.mid(start, length));
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

        const auto interval = hexPair(pairAt(0));
        if (!interval || !has(pairAt(8) + 1))
            return false;
        // The unit is a letter's character code, compared as written (upper-case hex only).
        const QString unit = s_.mid(pairAt(8), 2);
        if (unit == u"53" || unit == u"73")
            select(QStringLiteral("Option1"));
        else if (unit == u"4D" || unit == u"6D")
            select(QStringLiteral("Option2"));
        else if (unit == u"48" || unit == u"68")
            select(QStringLiteral("Option3"));
        else
            message(QStringLiteral("Interval Error"));
        setText(QStringLiteral("Text21"), threeDigits(*interval));

        const auto displacement = hexPair(pairAt(4));
        if (!displacement)
            return false;
        setText(QStringLiteral("Text33"), threeDigits(*displacement));

        const auto shake = hexPair(pairAt(10));
        if (!shake)
            return false;
        setText(QStringLiteral("Text32"), QString::number(*shake));

        // Pairs 12 to 15: only the first digit counts, "0" or "1"; anything else changes nothing.
        struct Choice {
            int pair;
            const char* ifZero;
            const char* ifOne;
        };
        static const Choice choices[] = {
            {12, "Option23", "Option24"},  // door level: Hight / Low
            {13, "Option25", "Option26"},  // input telephone: Listen / Talk
            {14, "Option28", "Option27"},  // SOS output: SPK / Mute
            {15, "Option22", "Option21"},  // lock: Gas / ELC
        };
        for (const Choice& c : choices) {
            const qsizetype at = pairAt(c.pair);
            if (!has(at))
                return false;
            if (s_.at(at) == u'0')
                select(QString::fromLatin1(c.ifZero));
            else if (s_.at(at) == u'1')
                select(QString::fromLatin1(c.ifOne));
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
        setText(QStringLiteral("Text4"), address->text);
        const auto port = upTo(address->end + 1, u'\r');
        if (!port)
            return false;
        setText(QStringLiteral("Text31"), port->text);
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
        setText(QStringLiteral("Text2"), number->text);
        const auto hardware = upTo(number->end + 5, u',');
        if (!hardware)
            return false;
        setText(QStringLiteral("Text30"), hardware->text);
        const auto software = upTo(hardware->end + 1, u',');
        if (!software)
            return false;
        setText(QStringLiteral("Text23"), software->text);
        pos_ = software->end + 5;
        return true;
    }

    static QString fenceText(int n) { return QStringLiteral("Text%1").arg(9 + n); }
    static QString switchBox(int n) { return QStringLiteral("Check_d%1_on").arg(n); }
    static QString sideBox(int n) { return QStringLiteral("Check_d%1_in").arg(n); }

    // The five fence texts, then the switch, side and defined pairs, each applied from fence 5
    // down to fence 1 (bit 0 is fence 1).
    bool fences()
    {
        qsizetype start = pos_;
        qsizetype lineEnd = -1;
        for (int n = 1; n <= 5; ++n) {
            const auto text = upTo(start, u'\r');
            if (!text)
                return false;
            setText(fenceText(n), text->text);
            lineEnd = text->end;
            start = lineEnd + 4;
        }
        pos_ = lineEnd + 2;  // switch pair

        const auto fenceBits = [this](qsizetype at) -> std::optional<int> {
            const auto pair = hexPair(at);
            if (!pair || *pair < kFencePairBase)
                return std::nullopt;
            return *pair - kFencePairBase;
        };

        const auto switches = fenceBits(pos_);
        if (!switches)
            return false;
        for (int n = 5; n >= 1; --n) {
            const bool on = *switches & (1 << (n - 1));
            setCheck(switchBox(n), on, on ? QStringLiteral("ON") : QStringLiteral("OFF"));
        }

        const auto sides = fenceBits(pos_ + 4);
        if (!sides)
            return false;
        for (int n = 5; n >= 1; --n) {
            const bool out = *sides & (1 << (n - 1));
            setCheck(sideBox(n), !out, out ? QStringLiteral("OUT") : QStringLiteral("IN"));
        }

        const auto defined = fenceBits(pos_ + 8);
        if (!defined)
            return false;
        for (int n = 5; n >= 1; --n) {
            if (!(*defined & (1 << (n - 1)))) {
                setText(fenceText(n), QString());
                setCheck(switchBox(n), false, QStringLiteral("OFF"));
            }
        }
        return true;
    }

    // Only the Condor model carries these two pairs, after the fence pairs.
    bool condorPairs()
    {
        const auto io = hexPair(pos_ + 12);
        if (!io)
            return false;
        if (*io & 0x10)
            select(QStringLiteral("Option20"));
        else if (*io & 0x01)
            select(QStringLiteral("Option18"));
        else
            select(QStringLiteral("Option19"));

        const auto arm = hexPair(pos_ + 16);
        if (!arm)
            return false;
        if (*arm & 0x80) {
            select(QStringLiteral("Option14"));
        } else if (*arm & 0x40) {
            select(QStringLiteral("Option15"));
            hide(QStringLiteral("Frame9"));
            return true;  // a pulse arm keeps its level
        } else {
            select(QStringLiteral("Option13"));
        }
        select(*arm & 0x20 ? QStringLiteral("Option17") : QStringLiteral("Option16"));
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
        setText(QStringLiteral("Text9"), pad + digits->text);

        const qsizetype q = digits->end;
        const auto flagOff = [this](qsizetype at) -> std::optional<bool> {
            if (!has(at))
                return std::nullopt;
            return s_.at(at) == u'0';
        };
        const auto speedOff = flagOff(q + 1);
        if (!speedOff)
            return false;
        if (*speedOff)
            setText(QStringLiteral("Text9"), QStringLiteral("000"));
        const auto intervalOff = flagOff(q + 3);
        if (!intervalOff)
            return false;
        if (*intervalOff) {
            setText(QStringLiteral("Text21"), QStringLiteral("000"));
            deselect(QStringLiteral("Option2"));
            deselect(QStringLiteral("Option3"));
            deselect(QStringLiteral("Option1"));
        }
        const auto displacementOff = flagOff(q + 7);
        if (!displacementOff)
            return false;
        if (*displacementOff)
            setText(QStringLiteral("Text33"), QStringLiteral("000"));
        const auto batteryOff = flagOff(q + 11);
        if (!batteryOff)
            return false;
        if (*batteryOff)
            setText(QStringLiteral("Combo3"), QStringLiteral("00%"));

        // The level itself always follows, whatever the flag said.
        const auto head = upTo(q + 11, u',');
        if (!head || !has(head->end + 3))
            return false;
        setText(QStringLiteral("Combo3"), s_.mid(head->end + 1, 3));
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
        setText(QStringLiteral("Text17"), password->text);

        const auto local = hexPair(password->end + 2);
        if (!local)
            return false;
        const QString sign = *local & 0x80 ? QStringLiteral("+") : QStringLiteral("-");
        const int hours = *local & 0x1F;
        if (hours > 23) {
            // The read stops here on purpose: the sign stays, the minutes are left alone.
            setText(QStringLiteral("Text15"), sign);
            message(QStringLiteral("Local Time Error"));
            return true;
        }
        setText(QStringLiteral("Text15"), sign + QString::number(hours).rightJustified(2, u'0'));
        const int minutes = (*local & 0x40 ? 30 : 0) + (*local & 0x20 ? 15 : 0);
        setText(QStringLiteral("Combo4"), QString::number(minutes).rightJustified(2, u'0'));
        return true;
    }

    const QString& s_;
    std::vector<Effect>& out_;
    qsizetype pos_ = 0;  // where the next positional field (not found by a marker) starts
};

}  // namespace

std::vector<Effect> parseDump(const QString& reply, bool condor)
{
    std::vector<Effect> effects;
    if (reply.isEmpty() || reply.at(0) != u'A')
        return effects;
    if (reply.size() <= kMaxReply && DumpReader(reply, effects).read(condor))
        return effects;
    effects.push_back({Effect::Message, QString(), kIncompleteDump});
    return effects;
}

}  // namespace bulk
