// The parameter dump parser: what a read puts into the window, in which order, and how it copes
// with a dump that is cut short or garbled.
#include "bulk/dump_parser.h"

#include <QHash>
#include <QRegularExpression>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QTest>

#include <algorithm>

using bulk::Effect;
using Effects = std::vector<Effect>;

namespace {

// --- building effects and dumps ---------------------------------------------------------------

Effect setText(const QString& c, const QString& t) { return {Effect::SetText, c, t}; }
Effect select(const QString& c) { return {Effect::Select, c, {}}; }
Effect deselect(const QString& c) { return {Effect::Deselect, c, {}}; }
Effect check(const QString& c, bool on, const QString& caption) { return {Effect::SetCheck, c, caption, on}; }
Effect hide(const QString& c) { return {Effect::Hide, c, {}}; }
Effect message(const QString& t) { return {Effect::Message, {}, t}; }
const Effect kIncomplete = message(bulk::kIncompleteDump);
const QString kIntervalError = QStringLiteral("Interval Error");
const QString kLocalTimeError = QStringLiteral("Local Time Error");

// A good dump, one line per entry; every line goes out ended by "\r\n".
enum Line { Phones, Block, Http, Imei, Fence1, Fence5 = Fence1 + 4, Switch, Side, Defined, Speed, Word, Time };
QStringList exampleLines()
{
    return {
        "A1001;B1002;C;D;E;F;G;H1008;apn;;;10.0.0.1;9000;",
        "000150;ord:,1E000000050000004D00030010100010",
        "HP:abc,80",
        "IMEI:350000000000001,Ver:1.0,2.3,",
        "1:P1", "2:P2", "3:P3", "4:", "5:",
        "E5", "E1", "E7",
        "ed:8;1x1xxx1xxx1,20%",
        "word:",
        "A8",
    };
}

QString joined(const QStringList& lines)
{
    QString s;
    for (const QString& line : lines)
        s += line + QStringLiteral("\r\n");
    return s;
}

QString example() { return joined(exampleLines()); }

// The Condor model's dump has the input/output and arm pairs after the fence pairs.
QStringList condorLines(const QString& io, const QString& arm)
{
    QStringList lines = exampleLines();
    lines.insert(Defined + 1, io);
    lines.insert(Defined + 2, arm);
    return lines;
}

// Pair k of the parameter block in the Block line (the block starts after "000150;ord:,").
void setPair(QStringList& lines, int k, const QString& pair)
{
    lines[Block].replace(12 + 2 * k, pair.size(), pair);
}

// --- reading effects back ---------------------------------------------------------------------

QString describe(const Effect& e)
{
    static const char* const kinds[] = {"SetText", "Select", "Deselect", "SetCheck", "Hide", "Message"};
    return QStringLiteral("%1 %2 \"%3\"%4")
        .arg(QLatin1String(kinds[e.kind]), e.control, e.text, e.on ? QStringLiteral(" on") : QString());
}

QStringList describe(const Effects& effects)
{
    QStringList out;
    for (const Effect& e : effects)
        out << describe(e);
    return out;
}

QStringList textsOf(const Effects& effects, const QString& control)
{
    QStringList out;
    for (const Effect& e : effects)
        if (e.kind == Effect::SetText && e.control == control)
            out << e.text;
    return out;
}

QStringList messagesOf(const Effects& effects)
{
    QStringList out;
    for (const Effect& e : effects)
        if (e.kind == Effect::Message)
            out << e.text;
    return out;
}

// Options selected, in order, among the given ones.
QStringList selections(const Effects& effects, const QStringList& among)
{
    QStringList out;
    for (const Effect& e : effects)
        if (e.kind == Effect::Select && among.contains(e.control))
            out << e.control;
    return out;
}

qsizetype indexOfNth(const Effects& effects, const QString& control, int nth = 1)
{
    for (qsizetype i = 0; i < qsizetype(effects.size()); ++i)
        if (effects[i].control == control && --nth == 0)
            return i;
    return -1;
}

Effects head(const Effects& effects, qsizetype count)
{
    return Effects(effects.begin(), effects.begin() + count);
}

Effects without(const Effects& effects, const QSet<QString>& controls)
{
    Effects out;
    for (const Effect& e : effects)
        if (!controls.contains(e.control))
            out.push_back(e);
    return out;
}

// --- the window the effects land on -----------------------------------------------------------

const QList<QStringList> kOptionGroups = {
    {"Option1", "Option2", "Option3"},  {"Option23", "Option24"}, {"Option25", "Option26"},
    {"Option27", "Option28"},           {"Option21", "Option22"}, {"Option18", "Option19", "Option20"},
    {"Option13", "Option14", "Option15"}, {"Option16", "Option17"},
};
const QSet<QString> kTextControls = {
    "Text6",  "Text7",  "Text8",  "Text25", "Text26", "Text27", "Text28", "Text29", "Text1",  "Text19",
    "Text20", "Text3",  "Text5",  "Text18", "Text21", "Text33", "Text32", "Text4",  "Text31", "Text2",
    "Text30", "Text23", "Text10", "Text11", "Text12", "Text13", "Text14", "Text9",  "Combo3", "Text17",
    "Text15", "Combo4",
};
const QSet<QString> kCondorControls = {"Option13", "Option14", "Option15", "Option16", "Option17",
                                       "Option18", "Option19", "Option20", "Frame9"};

struct Window {
    QHash<QString, QString> text;
    QHash<QString, bool> checked;
    QHash<QString, QString> caption;
    QSet<QString> selected;
    QSet<QString> hidden;
    QStringList messages;
    QStringList strays;  // effects that name no control of the window

    void apply(const Effects& effects)
    {
        for (const Effect& e : effects) {
            switch (e.kind) {
            case Effect::SetText:
                if (!kTextControls.contains(e.control))
                    strays << describe(e);
                text[e.control] = e.text;
                break;
            case Effect::Select:
            case Effect::Deselect: {
                const auto group = std::find_if(kOptionGroups.begin(), kOptionGroups.end(),
                                                [&](const QStringList& g) { return g.contains(e.control); });
                if (group == kOptionGroups.end()) {
                    strays << describe(e);
                } else if (e.kind == Effect::Select) {
                    for (const QString& mate : *group)
                        selected.remove(mate);
                    selected.insert(e.control);
                } else {
                    selected.remove(e.control);
                }
                break;
            }
            case Effect::SetCheck:
                if (!QRegularExpression("^Check_d[1-5]_(on|in)$").match(e.control).hasMatch())
                    strays << describe(e);
                checked[e.control] = e.on;
                caption[e.control] = e.text;
                break;
            case Effect::Hide:
                if (e.control != u"Frame9")
                    strays << describe(e);
                hidden.insert(e.control);
                break;
            case Effect::Message:
                if (!e.control.isEmpty())
                    strays << describe(e);
                messages << e.text;
                break;
            }
        }
    }
};

Window applied(const Effects& effects)
{
    Window w;
    w.apply(effects);
    return w;
}

// What every parse must hold, whatever it was given. Returns the first broken rule, or empty.
QString brokenRule(const QString& reply, const Effects& effects)
{
    if (reply.isEmpty() || reply.at(0) != u'A')
        return effects.empty() ? QString() : QStringLiteral("a reply not beginning with A gave effects");
    if (effects.empty())
        return QStringLiteral("a reply beginning with A gave nothing");

    const Window w = applied(effects);
    if (!w.strays.isEmpty())
        return QStringLiteral("stray effect: ") + w.strays.first();

    const QStringList msgs = messagesOf(effects);
    for (const QString& m : msgs)
        if (m != bulk::kIncompleteDump && m != kIntervalError && m != kLocalTimeError)
            return QStringLiteral("unknown message ") + m;
    if (msgs.count(bulk::kIncompleteDump) > 1 || msgs.count(kIntervalError) > 1 || msgs.count(kLocalTimeError) > 1)
        return QStringLiteral("a message repeated: ") + msgs.join(u'/');
    const Effect& last = effects.back();
    for (const QString& closing : {bulk::kIncompleteDump, kLocalTimeError}) {
        if (msgs.contains(closing) && !(last.kind == Effect::Message && last.text == closing))
            return closing + QStringLiteral(" is not the last effect");
    }
    if (msgs.contains(bulk::kIncompleteDump) && msgs.contains(kLocalTimeError))
        return QStringLiteral("both closing messages");

    // Each field arrives whole, once; only the ones the off flags and the defined pair overwrite
    // may come twice.
    QHash<QString, int> count;
    for (const Effect& e : effects)
        if (e.kind == Effect::SetText || e.kind == Effect::SetCheck)
            ++count[e.control];
    static const QSet<QString> twice = {"Text9",  "Text21", "Text33", "Combo3", "Text10", "Text11", "Text12",
                                        "Text13", "Text14", "Check_d1_on", "Check_d2_on", "Check_d3_on",
                                        "Check_d4_on", "Check_d5_on"};
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (it.value() > (twice.contains(it.key()) ? 2 : 1))
            return QStringLiteral("%1 written %2 times").arg(it.key()).arg(it.value());

    static const QRegularExpression threeDigits("^\\d{3}$");
    for (const Effect& e : effects) {
        if (e.kind == Effect::SetCheck) {
            const bool isSwitch = e.control.endsWith(u"_on");
            const QString onCaption = isSwitch ? "ON" : "IN", offCaption = isSwitch ? "OFF" : "OUT";
            if (e.text != (e.on ? onCaption : offCaption))
                return QStringLiteral("check state and caption disagree: ") + describe(e);
        }
        if (e.kind != Effect::SetText)
            continue;
        if ((e.control == u"Text21" || e.control == u"Text33") && !threeDigits.match(e.text).hasMatch())
            return QStringLiteral("not three digits: ") + describe(e);
        if (e.control == u"Text18" && e.text.size() > 6)
            return QStringLiteral("odometer too long");
        if (QStringList{"Text6", "Text7", "Text8", "Text25", "Text26", "Text27", "Text28"}.contains(e.control)
            && e.text.size() > 255)
            return QStringLiteral("telephone number too long");
        if (e.control == u"Combo3" && e.text.size() != 3)
            return QStringLiteral("battery level not 3 characters");
        if (e.control == u"Combo4" && !QStringList{"00", "15", "30", "45"}.contains(e.text))
            return QStringLiteral("bad minutes ") + e.text;
        if (e.control == u"Text15") {
            const bool bare = e.text == u"+" || e.text == u"-";
            if (bare && !(&e == &effects[effects.size() - 2] && last.text == kLocalTimeError))
                return QStringLiteral("sign alone without the local time message");
            if (!bare && !QRegularExpression("^[+-]([01]\\d|2[0-3])$").match(e.text).hasMatch())
                return QStringLiteral("bad local time ") + e.text;
        }
        if (e.control == u"Text9" && (!QRegularExpression("^\\d{3,}$").match(e.text).hasMatch()))
            return QStringLiteral("bad over-speed ") + e.text;
    }
    return {};
}

}  // namespace

class TestDumpParser : public QObject {
    Q_OBJECT

private slots:
    void exampleFillsTheWindow();
    void exampleEffectsInReadingOrder();
    void condorPairs_data();
    void condorPairs();
    void otherModelsLeaveCondorOptions_data() { condorPairs_data(); }
    void otherModelsLeaveCondorOptions();

    void telephones_data();
    void telephones();
    void gprsFields();
    void odometer_data();
    void odometer();
    void intervalUnit_data();
    void intervalUnit();
    void displacementAndShake_data();
    void displacementAndShake();
    void blockSwitches_data();
    void blockSwitches();
    void httpImeiVersions();
    void overSpeed_data();
    void overSpeed();
    void offFlags_data();
    void offFlags();
    void fences_data();
    void fences();
    void localTime_data();
    void localTime();
    void replyNotBeginningWithA_data();
    void replyNotBeginningWithA();

    void everyTruncation_data();
    void everyTruncation();
    void markerRemoved_data();
    void markerRemoved();
    void outOfFormat_data();
    void outOfFormat();
    void replyLengthLimit();
    void randomReplies();
    void mutatedDumps();
};

// --- whole dumps ------------------------------------------------------------------------------

void TestDumpParser::exampleFillsTheWindow()
{
    Window w;
    // Boxes a read does not necessarily empty beforehand: the dump must overwrite them.
    for (const char* stale : {"Text27", "Text28", "Text29", "Text30", "Text23", "Text32", "Text33"})
        w.text[stale] = QStringLiteral("stale");
    w.apply(bulk::parseDump(example(), false));

    QVERIFY2(w.strays.isEmpty(), qPrintable(w.strays.join(u'\n')));
    QCOMPARE(w.messages, QStringList());

    const QList<QPair<const char*, const char*>> texts = {
        {"Text6", "1001"}, {"Text7", "1002"}, {"Text8", ""}, {"Text25", ""}, {"Text26", ""}, {"Text27", ""},
        {"Text28", ""}, {"Text29", "1008"}, {"Text1", "apn"}, {"Text19", ""}, {"Text20", ""},
        {"Text3", "10.0.0.1"}, {"Text5", "9000"}, {"Text18", "000150"}, {"Text21", "030"}, {"Text33", "005"},
        {"Text32", "3"}, {"Text4", "abc"}, {"Text31", "80"}, {"Text2", "350000000000001"}, {"Text30", "1.0"},
        {"Text23", "2.3"}, {"Text10", "P1"}, {"Text11", "P2"}, {"Text12", "P3"}, {"Text13", ""}, {"Text14", ""},
        {"Text9", "008"}, {"Combo3", "20%"}, {"Text17", ""}, {"Text15", "+08"}, {"Combo4", "15"},
    };
    for (const auto& [control, expected] : texts) {
        QVERIFY2(w.text.contains(control), control);
        QCOMPARE(w.text.value(control), QString::fromLatin1(expected));
    }
    QCOMPARE(w.selected, (QSet<QString>{"Option2", "Option24", "Option26", "Option28", "Option21"}));
    for (int n = 1; n <= 5; ++n) {
        const QString on = QStringLiteral("Check_d%1_on").arg(n), in = QStringLiteral("Check_d%1_in").arg(n);
        const bool switchedOn = n == 1 || n == 3;
        QCOMPARE(w.checked.value(on), switchedOn);
        QCOMPARE(w.caption.value(on), switchedOn ? QStringLiteral("ON") : QStringLiteral("OFF"));
        QCOMPARE(w.checked.value(in), n != 1);
        QCOMPARE(w.caption.value(in), n == 1 ? QStringLiteral("OUT") : QStringLiteral("IN"));
    }
    QVERIFY(w.hidden.isEmpty());
}

// The window runs option click handlers and shows messages as the effects come, so the order
// matters: fields in reading order, fences from 5 down to 1, state before caption.
void TestDumpParser::exampleEffectsInReadingOrder()
{
    const Effects expected = {
        setText("Text6", "1001"), setText("Text7", "1002"), setText("Text8", ""), setText("Text25", ""),
        setText("Text26", ""), setText("Text27", ""), setText("Text28", ""), setText("Text29", "1008"),
        setText("Text1", "apn"), setText("Text19", ""), setText("Text20", ""), setText("Text3", "10.0.0.1"),
        setText("Text5", "9000"), setText("Text18", "000150"),
        select("Option2"), setText("Text21", "030"), setText("Text33", "005"), setText("Text32", "3"),
        select("Option24"), select("Option26"), select("Option28"), select("Option21"),
        setText("Text4", "abc"), setText("Text31", "80"),
        setText("Text2", "350000000000001"), setText("Text30", "1.0"), setText("Text23", "2.3"),
        setText("Text10", "P1"), setText("Text11", "P2"), setText("Text12", "P3"), setText("Text13", ""),
        setText("Text14", ""),
        check("Check_d5_on", false, "OFF"), check("Check_d4_on", false, "OFF"), check("Check_d3_on", true, "ON"),
        check("Check_d2_on", false, "OFF"), check("Check_d1_on", true, "ON"),
        check("Check_d5_in", true, "IN"), check("Check_d4_in", true, "IN"), check("Check_d3_in", true, "IN"),
        check("Check_d2_in", true, "IN"), check("Check_d1_in", false, "OUT"),
        setText("Text14", ""), check("Check_d5_on", false, "OFF"),
        setText("Text13", ""), check("Check_d4_on", false, "OFF"),
        setText("Text9", "008"), setText("Combo3", "20%"), setText("Text17", ""),
        setText("Text15", "+08"), setText("Combo4", "15"),
    };
    QCOMPARE(describe(bulk::parseDump(example(), false)), describe(expected));
}

void TestDumpParser::condorPairs_data()
{
    QTest::addColumn<QString>("io");
    QTest::addColumn<QString>("arm");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<bool>("frameHidden");

    QTest::newRow("high input, no arm, level high") << "10" << "C0" << QStringList{"Option20", "Option14", "Option16"} << false;
    QTest::newRow("bit4 beats bit0, pulse arm") << "11" << "60" << QStringList{"Option20", "Option15"} << true;
    QTest::newRow("OC output, level arm low") << "01" << "20" << QStringList{"Option18", "Option13", "Option17"} << false;
    QTest::newRow("OC output, no arm low") << "0F" << "A0" << QStringList{"Option18", "Option14", "Option17"} << false;
    QTest::newRow("low input, level arm high") << "EE" << "00" << QStringList{"Option19", "Option13", "Option16"} << false;
    QTest::newRow("bit7 beats bit6") << "00" << "E0" << QStringList{"Option19", "Option14", "Option17"} << false;
    QTest::newRow("pair without hex digit reads 0") << "x1" << "40" << QStringList{"Option19", "Option15"} << true;
    QTest::newRow("second digit not hex: first alone") << "1x" << "7F" << QStringList{"Option18", "Option15"} << true;
}

void TestDumpParser::condorPairs()
{
    QFETCH(QString, io);
    QFETCH(QString, arm);
    QFETCH(QStringList, selected);
    QFETCH(bool, frameHidden);

    const Effects effects = bulk::parseDump(joined(condorLines(io, arm)), true);
    QCOMPARE(messagesOf(effects), QStringList());

    // They come right after the fence pairs and before the over-speed.
    const qsizetype first = indexOfNth(effects, "Check_d4_on", 2) + 1;
    const qsizetype speed = indexOfNth(effects, "Text9");
    QVERIFY(first > 0 && speed > first);
    const Effects condor(effects.begin() + first, effects.begin() + speed);
    Effects expected;
    for (const QString& option : selected) {
        expected.push_back(select(option));
        if (option == u"Option15")
            expected.push_back(hide("Frame9"));
    }
    QCOMPARE(describe(condor), describe(expected));
    QCOMPARE(applied(effects).hidden.contains("Frame9"), frameHidden);
    // Everything else is read as for any model.
    QCOMPARE(describe(without(effects, kCondorControls)), describe(bulk::parseDump(example(), false)));
}

void TestDumpParser::otherModelsLeaveCondorOptions()
{
    QFETCH(QString, io);
    QFETCH(QString, arm);

    const QString dump = joined(condorLines(io, arm));
    const Effects effects = bulk::parseDump(dump, false);
    QCOMPARE(describe(without(effects, kCondorControls)), describe(effects));
    QCOMPARE(describe(effects), describe(without(bulk::parseDump(dump, true), kCondorControls)));
    QCOMPARE(messagesOf(effects), QStringList());
}

// --- field by field ---------------------------------------------------------------------------

void TestDumpParser::telephones_data()
{
    QTest::addColumn<QString>("phones");
    QTest::addColumn<QStringList>("numbers");  // Text6, 7, 8, 25..29 as written, in order
    QTest::addColumn<bool>("complete");

    const QString rest = "apn;;;10.0.0.1;9000;";
    QTest::newRow("as read") << "A1001;B1002;C;D;E;F;G;H1008;" + rest
                             << QStringList{"1001", "1002", "", "", "", "", "", "1008"} << true;
    QTest::newRow("separator is any character")
        << "A+8613800000000xB2,C3;D4;E5;F6;G7;H;" + rest
        << QStringList{"+8613800000000", "2", "3", "4", "5", "6", "7", ""} << true;
    QTest::newRow("letter right after letter") << "A1;BC;D;E;F;G;H;" + rest << QStringList{"1"} << false;
    QTest::newRow("letters out of order") << "A1;C2;B3;D;E;F;G;H;" + rest << QStringList{"1;C2"} << false;
    QTest::newRow("letter missing") << "A1;B2;C3;D4;E5;F6;H8;" + rest << QStringList{"1", "2", "3", "4", "5"} << false;
    QTest::newRow("255 characters") << "A" + QString(255, u'9') + ";B;C;D;E;F;G;H;" + rest
                                    << QStringList{QString(255, u'9'), "", "", "", "", "", "", ""} << true;
    QTest::newRow("256 characters") << "A" + QString(256, u'9') + ";B;C;D;E;F;G;H;" + rest << QStringList{} << false;
    QTest::newRow("number 8 up to semicolon") << "A;B;C;D;E;F;G;H12,34;" + rest
                                              << QStringList{"", "", "", "", "", "", "", "12,34"} << true;
}

void TestDumpParser::telephones()
{
    QFETCH(QString, phones);
    QFETCH(QStringList, numbers);
    QFETCH(bool, complete);

    QStringList lines = exampleLines();
    lines[Phones] = phones;
    const Effects effects = bulk::parseDump(joined(lines), false);

    const QStringList boxes = {"Text6", "Text7", "Text8", "Text25", "Text26", "Text27", "Text28", "Text29"};
    const Effects phoneEffects(effects.begin(), effects.begin() + std::min<qsizetype>(numbers.size(), effects.size()));
    Effects expected;
    for (int i = 0; i < numbers.size(); ++i)
        expected.push_back(setText(boxes[i], numbers[i]));
    QCOMPARE(describe(phoneEffects), describe(expected));
    if (complete) {
        QCOMPARE(messagesOf(effects), QStringList());
        QCOMPARE(textsOf(effects, "Text1"), QStringList{"apn"});
    } else {
        QCOMPARE(qsizetype(effects.size()), numbers.size() + 1);
        QCOMPARE(describe(effects.back()), describe(kIncomplete));
    }
}

void TestDumpParser::gprsFields()
{
    QStringList lines = exampleLines();
    lines[Phones] = "A;B;C;D;E;F;G;H;cmnet;user;pa:ss;gps.example.net;5050;trailing words";
    const Effects effects = bulk::parseDump(joined(lines), false);
    QCOMPARE(messagesOf(effects), QStringList());
    const Effects gprs(effects.begin() + 8, effects.begin() + 13);
    QCOMPARE(describe(gprs), describe(Effects{setText("Text1", "cmnet"), setText("Text19", "user"),
                                              setText("Text20", "pa:ss"), setText("Text3", "gps.example.net"),
                                              setText("Text5", "5050")}));
    // Whatever follows the port on its line is skipped.
    QCOMPARE(textsOf(effects, "Text18"), QStringList{"000150"});
}

void TestDumpParser::odometer_data()
{
    QTest::addColumn<QString>("start");  // the Block line up to "ord:"
    QTest::addColumn<QString>("odometer");

    QTest::newRow("six digits") << "000150;" << "000150";
    QTest::newRow("seven digits give the first six") << "1234567;" << "123456";
    QTest::newRow("short") << "12;" << "12";
    QTest::newRow("empty") << ";" << "";
    QTest::newRow("no semicolon: six characters") << "98765432" << "987654";
}

void TestDumpParser::odometer()
{
    QFETCH(QString, start);
    QFETCH(QString, odometer);

    QStringList lines = exampleLines();
    lines[Block].replace(0, 7, start);
    const Effects effects = bulk::parseDump(joined(lines), false);
    QCOMPARE(messagesOf(effects), QStringList());
    QCOMPARE(textsOf(effects, "Text18"), QStringList{odometer});
    QCOMPARE(textsOf(effects, "Text21"), QStringList{"030"});
}

void TestDumpParser::intervalUnit_data()
{
    QTest::addColumn<QString>("interval");  // pair 0
    QTest::addColumn<QString>("unit");      // pair 8
    QTest::addColumn<QString>("text21");
    QTest::addColumn<QString>("option");    // empty: not recognised

    QTest::newRow("1E min") << "1E" << "4D" << "030" << "Option2";
    QTest::newRow("min lower-case letter") << "1E" << "6D" << "030" << "Option2";
    QTest::newRow("6d not recognised") << "1E" << "6d" << "030" << "";
    QTest::newRow("4d not recognised") << "1E" << "4d" << "030" << "";
    QTest::newRow("S") << "05" << "53" << "005" << "Option1";
    QTest::newRow("s") << "3c" << "73" << "060" << "Option1";
    QTest::newRow("H") << "01" << "48" << "001" << "Option3";
    QTest::newRow("h") << "0C" << "68" << "012" << "Option3";
    QTest::newRow("99") << "63" << "53" << "099" << "Option1";
    QTest::newRow("100") << "64" << "53" << "100" << "Option1";
    QTest::newRow("255") << "FF" << "53" << "255" << "Option1";
    QTest::newRow("first char not hex") << "x1" << "53" << "000" << "Option1";
    QTest::newRow("second char not hex") << "1x" << "53" << "001" << "Option1";
    QTest::newRow("reversed code") << "1E" << "D4" << "030" << "";
    QTest::newRow("zeros") << "1E" << "00" << "030" << "";
}

void TestDumpParser::intervalUnit()
{
    QFETCH(QString, interval);
    QFETCH(QString, unit);
    QFETCH(QString, text21);
    QFETCH(QString, option);

    QStringList lines = exampleLines();
    setPair(lines, 0, interval);
    setPair(lines, 8, unit);
    const Effects effects = bulk::parseDump(joined(lines), false);

    const qsizetype at = indexOfNth(effects, "Text21");
    QVERIFY(at > 0);
    QCOMPARE(describe(effects[at]), describe(setText("Text21", text21)));
    // The unit's outcome comes just before the interval is written, and the parse goes on.
    const Effect unitEffect = option.isEmpty() ? message(kIntervalError) : select(option);
    QCOMPARE(describe(effects[at - 1]), describe(unitEffect));
    QCOMPARE(selections(effects, {"Option1", "Option2", "Option3"}), option.isEmpty() ? QStringList() : QStringList{option});
    QCOMPARE(messagesOf(effects), option.isEmpty() ? QStringList{kIntervalError} : QStringList());
    QCOMPARE(textsOf(effects, "Combo4"), QStringList{"15"});
}

void TestDumpParser::displacementAndShake_data()
{
    QTest::addColumn<QString>("displacementPair");
    QTest::addColumn<QString>("shakePair");
    QTest::addColumn<QString>("text33");
    QTest::addColumn<QString>("text32");

    QTest::newRow("05 / 03") << "05" << "03" << "005" << "3";
    QTest::newRow("FA / 00") << "FA" << "00" << "250" << "0";
    QTest::newRow("00 / FF") << "00" << "FF" << "000" << "255";
    QTest::newRow("64 / 0a") << "64" << "0a" << "100" << "10";
    QTest::newRow("not hex") << "g5" << "5g" << "000" << "5";
}

void TestDumpParser::displacementAndShake()
{
    QFETCH(QString, displacementPair);
    QFETCH(QString, shakePair);
    QFETCH(QString, text33);
    QFETCH(QString, text32);

    QStringList lines = exampleLines();
    setPair(lines, 4, displacementPair);
    setPair(lines, 10, shakePair);
    const Effects effects = bulk::parseDump(joined(lines), false);
    QCOMPARE(messagesOf(effects), QStringList());
    QCOMPARE(textsOf(effects, "Text33"), QStringList{text33});
    QCOMPARE(textsOf(effects, "Text32"), QStringList{text32});
    QCOMPARE(indexOfNth(effects, "Text33"), indexOfNth(effects, "Text21") + 1);
    QCOMPARE(indexOfNth(effects, "Text32"), indexOfNth(effects, "Text21") + 2);
}

void TestDumpParser::blockSwitches_data()
{
    QTest::addColumn<QStringList>("pairs");  // pairs 12 to 15
    QTest::addColumn<QStringList>("selected");

    const QStringList all = {"Option23", "Option24", "Option25", "Option26", "Option27", "Option28", "Option21", "Option22"};
    QTest::newRow("as read") << QStringList{"10", "10", "00", "10"} << QStringList{"Option24", "Option26", "Option28", "Option21"};
    QTest::newRow("all zero") << QStringList{"00", "00", "00", "00"} << QStringList{"Option23", "Option25", "Option28", "Option22"};
    QTest::newRow("all one") << QStringList{"1F", "11", "1x", "10"} << QStringList{"Option24", "Option26", "Option27", "Option21"};
    QTest::newRow("second digit ignored") << QStringList{"01", "1F", "0E", "19"} << QStringList{"Option23", "Option26", "Option28", "Option21"};
    QTest::newRow("other first digits change nothing") << QStringList{"20", "x1", "F0", " 1"} << QStringList{};
    QTest::newRow("mixed") << QStringList{"2F", "00", "A1", "1 "} << QStringList{"Option25", "Option21"};
}

void TestDumpParser::blockSwitches()
{
    QFETCH(QStringList, pairs);
    QFETCH(QStringList, selected);

    QStringList lines = exampleLines();
    for (int i = 0; i < 4; ++i)
        setPair(lines, 12 + i, pairs[i]);
    const Effects effects = bulk::parseDump(joined(lines), false);
    QCOMPARE(messagesOf(effects), QStringList());
    QCOMPARE(selections(effects, {"Option21", "Option22", "Option23", "Option24", "Option25", "Option26",
                                  "Option27", "Option28"}),
             selected);
    // They follow the shake step directly, before the HTTP address.
    const qsizetype shake = indexOfNth(effects, "Text32");
    QCOMPARE(indexOfNth(effects, "Text4"), shake + 1 + selected.size());
}

void TestDumpParser::httpImeiVersions()
{
    QStringList lines = exampleLines();
    // The marker groups are found wherever they stand; the characters around them are not read.
    lines[Http] = "zz";
    lines[Imei] = "xxIMEI:86,abcdV9.1,S2,";
    lines << "HP:http://a.b/c?d=1,8080";
    const Effects effects = bulk::parseDump(joined(lines), false);
    QCOMPARE(messagesOf(effects), QStringList());
    QCOMPARE(textsOf(effects, "Text4"), QStringList{"http://a.b/c?d=1"});
    QCOMPARE(textsOf(effects, "Text31"), QStringList{"8080"});
    QCOMPARE(textsOf(effects, "Text2"), QStringList{"86"});
    QCOMPARE(textsOf(effects, "Text30"), QStringList{"V9.1"});
    QCOMPARE(textsOf(effects, "Text23"), QStringList{"S2"});
    QCOMPARE(textsOf(effects, "Text10"), QStringList{"P1"});
    // The HTTP fields are read before the IMEI even when they come last.
    QCOMPARE(indexOfNth(effects, "Text31") + 1, indexOfNth(effects, "Text2"));
}

void TestDumpParser::overSpeed_data()
{
    QTest::addColumn<QString>("speed");  // the "ed:" line
    QTest::addColumn<QStringList>("text9");

    QTest::newRow("8") << "ed:8;1x1xxx1xxx1,20%" << QStringList{"008"};
    QTest::newRow("80") << "ed:80;1x1xxx1xxx1,20%" << QStringList{"080"};
    QTest::newRow("120") << "ed:120;1x1xxx1xxx1,20%" << QStringList{"120"};
    QTest::newRow("0") << "ed:0;1x1xxx1xxx1,20%" << QStringList{"000"};
    QTest::newRow("255") << "ed:255;1x1xxx1xxx1,20%" << QStringList{"255"};
    QTest::newRow("padded by value, not length") << "ed:08;1x1xxx1xxx1,20%" << QStringList{"0008"};
    QTest::newRow("off flag") << "ed:120;0x1xxx1xxx1,20%" << QStringList{"120", "000"};
    QTest::newRow("off flag is the digit 0 only") << "ed:120;Ox1xxx1xxx1,20%" << QStringList{"120"};
}

void TestDumpParser::overSpeed()
{
    QFETCH(QString, speed);
    QFETCH(QStringList, text9);

    QStringList lines = exampleLines();
    lines[Speed] = speed;
    const Effects effects = bulk::parseDump(joined(lines), false);
    QCOMPARE(messagesOf(effects), QStringList());
    QCOMPARE(textsOf(effects, "Text9"), text9);
    QCOMPARE(textsOf(effects, "Combo3"), QStringList{"20%"});
}

void TestDumpParser::offFlags_data()
{
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QStringList>("text21");
    QTest::addColumn<QStringList>("text33");
    QTest::addColumn<QStringList>("combo3");
    QTest::addColumn<bool>("unitCleared");

    QTest::newRow("none off") << "ed:8;1x1xxx1xxx1,20%" << QStringList{"030"} << QStringList{"005"} << QStringList{"20%"} << false;
    QTest::newRow("interval off") << "ed:8;1x0xxx1xxx1,20%" << QStringList{"030", "000"} << QStringList{"005"} << QStringList{"20%"} << true;
    QTest::newRow("displacement off") << "ed:8;1x1xxx0xxx1,20%" << QStringList{"030"} << QStringList{"005", "000"} << QStringList{"20%"} << false;
    QTest::newRow("battery off keeps the level") << "ed:8;1x1xxx1xxx0,20%" << QStringList{"030"} << QStringList{"005"} << QStringList{"00%", "20%"} << false;
    QTest::newRow("all off") << "ed:8;0x0xxx0xxx0,35%" << QStringList{"030", "000"} << QStringList{"005", "000"} << QStringList{"00%", "35%"} << true;
    QTest::newRow("flags elsewhere ignored") << "ed:8;10100010001,20%" << QStringList{"030"} << QStringList{"005"} << QStringList{"20%"} << false;
    QTest::newRow("level after first comma from Q+11") << "ed:8;1,1,xx1,xx1xx,35%" << QStringList{"030"} << QStringList{"005"} << QStringList{"35%"} << false;
    QTest::newRow("flag position may hold the comma") << "ed:8;1x1xxx1xxx,7%\r" << QStringList{"030"} << QStringList{"005"} << QStringList{"7%\r"} << false;
}

void TestDumpParser::offFlags()
{
    QFETCH(QString, speed);
    QFETCH(QStringList, text21);
    QFETCH(QStringList, text33);
    QFETCH(QStringList, combo3);
    QFETCH(bool, unitCleared);

    QStringList lines = exampleLines();
    lines[Speed] = speed;
    const Effects effects = bulk::parseDump(joined(lines), false);
    QCOMPARE(messagesOf(effects), QStringList());
    QCOMPARE(textsOf(effects, "Text21"), text21);
    QCOMPARE(textsOf(effects, "Text33"), text33);
    QCOMPARE(textsOf(effects, "Combo3"), combo3);
    const Window w = applied(effects);
    QCOMPARE(w.selected.contains("Option2"), !unitCleared);
    if (unitCleared) {
        const qsizetype at = indexOfNth(effects, "Text21", 2);
        const Effects cleared(effects.begin() + at, effects.begin() + at + 4);
        QCOMPARE(describe(cleared), describe(Effects{setText("Text21", "000"), deselect("Option2"),
                                                     deselect("Option3"), deselect("Option1")}));
    } else {
        QVERIFY(std::none_of(effects.begin(), effects.end(), [](const Effect& e) { return e.kind == Effect::Deselect; }));
    }
}

void TestDumpParser::fences_data()
{
    QTest::addColumn<QStringList>("pairs");     // switch, side, defined
    QTest::addColumn<QString>("switchedOn");    // fence numbers whose switch ends "ON"
    QTest::addColumn<QString>("outside");       // fence numbers whose side is "OUT"
    QTest::addColumn<QString>("emptied");       // fence numbers whose text the defined pair empties

    QTest::newRow("E5 E1 E7") << QStringList{"E5", "E1", "E7"} << "13" << "1" << "45";
    QTest::newRow("lower-case") << QStringList{"e5", "e1", "e7"} << "13" << "1" << "45";
    QTest::newRow("all clear") << QStringList{"E0", "E0", "E0"} << "" << "" << "12345";
    QTest::newRow("all set") << QStringList{"FF", "FF", "FF"} << "12345" << "12345" << "";
    QTest::newRow("undefined fence switched off") << QStringList{"FF", "EA", "F0"} << "5" << "24" << "1234";
}

void TestDumpParser::fences()
{
    QFETCH(QStringList, pairs);
    QFETCH(QString, switchedOn);
    QFETCH(QString, outside);
    QFETCH(QString, emptied);

    QStringList lines = exampleLines();
    for (int n = 1; n <= 5; ++n)
        lines[Fence1 + n - 1] = QStringLiteral("%1:F%1").arg(n);
    lines[Switch] = pairs[0];
    lines[Side] = pairs[1];
    lines[Defined] = pairs[2];
    const Effects effects = bulk::parseDump(joined(lines), false);
    QCOMPARE(messagesOf(effects), QStringList());

    const Window w = applied(effects);
    for (int n = 1; n <= 5; ++n) {
        const QString digit = QString::number(n);
        const QString on = QStringLiteral("Check_d%1_on").arg(n), in = QStringLiteral("Check_d%1_in").arg(n);
        QCOMPARE(w.checked.value(on), switchedOn.contains(digit));
        QCOMPARE(w.caption.value(on), switchedOn.contains(digit) ? QStringLiteral("ON") : QStringLiteral("OFF"));
        QCOMPARE(w.checked.value(in), !outside.contains(digit));
        QCOMPARE(w.caption.value(in), outside.contains(digit) ? QStringLiteral("OUT") : QStringLiteral("IN"));
        const QString box = QStringLiteral("Text%1").arg(9 + n);
        QCOMPARE(textsOf(effects, box), (emptied.contains(digit) ? QStringList{"F" + digit, ""} : QStringList{"F" + digit}));
    }
}

void TestDumpParser::localTime_data()
{
    QTest::addColumn<QString>("pair");
    QTest::addColumn<QString>("text15");
    QTest::addColumn<QString>("combo4");  // empty: not written

    QTest::newRow("A8") << "A8" << "+08" << "15";
    QTest::newRow("48") << "48" << "-08" << "30";
    QTest::newRow("a8 lower-case") << "a8" << "+08" << "15";
    QTest::newRow("E0") << "E0" << "+00" << "45";
    QTest::newRow("97 max hours") << "97" << "+23" << "00";
    QTest::newRow("0B") << "0B" << "-11" << "00";
    QTest::newRow("second char not hex") << "8x" << "-08" << "00";
    QTest::newRow("18 too many hours") << "18" << "-" << "";
    QTest::newRow("98 too many hours") << "98" << "+" << "";
    QTest::newRow("FF") << "FF" << "+" << "";
}

void TestDumpParser::localTime()
{
    QFETCH(QString, pair);
    QFETCH(QString, text15);
    QFETCH(QString, combo4);

    QStringList lines = exampleLines();
    lines[Word] = "word:secret";
    lines[Time] = pair;
    const Effects effects = bulk::parseDump(joined(lines), false);
    const Effects tail(effects.end() - 3, effects.end());
    if (combo4.isEmpty()) {
        // The read ends at the message: sign only, no minutes, nothing after.
        QCOMPARE(describe(tail), describe(Effects{setText("Text17", "secret"), setText("Text15", text15),
                                                  message(kLocalTimeError)}));
        QCOMPARE(messagesOf(effects), QStringList{kLocalTimeError});
    } else {
        QCOMPARE(describe(tail), describe(Effects{setText("Text17", "secret"), setText("Text15", text15),
                                                  setText("Combo4", combo4)}));
        QCOMPARE(messagesOf(effects), QStringList());
    }
}

void TestDumpParser::replyNotBeginningWithA_data()
{
    QTest::addColumn<QString>("reply");
    QTest::newRow("empty") << "";
    QTest::newRow("blank line first") << "\r\n" + example();
    QTest::newRow("space first") << " " + example();
    QTest::newRow("lower-case a") << "a" + example().mid(1);
    QTest::newRow("echo first") << "SETG\r\n" + example();
    QTest::newRow("acknowledgement") << " OK!";
}

void TestDumpParser::replyNotBeginningWithA()
{
    QFETCH(QString, reply);
    QCOMPARE(describe(bulk::parseDump(reply, false)), QStringList());
    QCOMPARE(describe(bulk::parseDump(reply, true)), QStringList());
}

// --- malformed dumps --------------------------------------------------------------------------

void TestDumpParser::everyTruncation_data()
{
    QTest::addColumn<QString>("dump");
    QTest::addColumn<bool>("condor");
    QTest::newRow("example") << example() << false;
    QTest::newRow("condor") << joined(condorLines("01", "20")) << true;
}

// A cut dump fills what it holds and ends with the message; since a field is applied only when
// whole, each prefix's effects are the full dump's first ones. Only the cuts inside the final line
// end, after the local time pair, lose nothing.
void TestDumpParser::everyTruncation()
{
    QFETCH(QString, dump);
    QFETCH(bool, condor);

    const Effects full = bulk::parseDump(dump, condor);
    QCOMPARE(messagesOf(full), QStringList());
    const qsizetype n = dump.size();
    qsizetype reached = 0;
    for (qsizetype length = 0; length <= n; ++length) {
        const QString prefix = dump.left(length);
        const Effects effects = bulk::parseDump(prefix, condor);
        const QByteArray where = "prefix length " + QByteArray::number(length);
        if (length == 0) {
            QVERIFY2(effects.empty(), where.constData());
            continue;
        }
        if (length >= n - 2) {
            QVERIFY2(describe(effects) == describe(full), where.constData());
            continue;
        }
        QVERIFY2(!effects.empty() && effects.back() == kIncomplete, where.constData());
        const qsizetype count = effects.size() - 1;
        QVERIFY2(count <= qsizetype(full.size()) && describe(head(effects, count)) == describe(head(full, count)), where.constData());
        QVERIFY2(count >= reached, where.constData());  // a longer prefix never loses a field
        reached = count;
        QVERIFY2(messagesOf(effects) == QStringList{bulk::kIncompleteDump}, where.constData());
    }
    // Cut inside the local time pair: all but its two fields.
    QCOMPARE(reached, qsizetype(full.size()) - 2);
}

void TestDumpParser::markerRemoved_data()
{
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QString>("firstLost");  // the first field that needs the marker
    QTest::addColumn<int>("garbage");        // fields filled from a later, wrong occurrence

    QTest::newRow("B") << "B" << "Text6" << 0;
    QTest::newRow("C") << "C" << "Text7" << 0;
    QTest::newRow("D (next D is in the block)") << "D" << "Text8" << 1;
    QTest::newRow("E (next E is in the block)") << "E" << "Text25" << 1;
    QTest::newRow("F") << "F" << "Text26" << 0;
    QTest::newRow("G") << "G" << "Text27" << 0;
    QTest::newRow("H (next H is HP:)") << "H" << "Text28" << 2;
    QTest::newRow("ord: (next is inside word:)") << "ord:" << "Option2" << 0;
    QTest::newRow("HP:") << "HP:" << "Text4" << 0;
    QTest::newRow("IMEI:") << "IMEI:" << "Text2" << 0;
    QTest::newRow("ed:") << "ed:" << "Text9" << 0;
    QTest::newRow("word:") << "word:" << "Text17" << 0;
}

void TestDumpParser::markerRemoved()
{
    QFETCH(QString, marker);
    QFETCH(QString, firstLost);
    QFETCH(int, garbage);

    const QString good = example();
    const Effects full = bulk::parseDump(good, false);
    QString dump = good;
    dump.remove(good.indexOf(marker), marker.size());

    const Effects effects = bulk::parseDump(dump, false);
    const qsizetype kept = indexOfNth(full, firstLost);
    QVERIFY(kept >= 0);
    QCOMPARE(qsizetype(effects.size()), kept + garbage + 1);
    QCOMPARE(describe(head(effects, kept)), describe(head(full, kept)));
    for (qsizetype i = kept; i < kept + garbage; ++i)
        QVERIFY2(effects[i].kind == Effect::SetText && effects[i].text.size() > 4, qPrintable(describe(effects[i])));
    QCOMPARE(messagesOf(effects), QStringList{bulk::kIncompleteDump});
    QCOMPARE(describe(effects.back()), describe(kIncomplete));
}

void TestDumpParser::outOfFormat_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("firstLost");
    QTest::addColumn<int>("occurrence");

    QTest::newRow("over-speed 300") << int(Speed) << "ed:300;1x1xxx1xxx1,20%" << "Text9" << 1;
    QTest::newRow("over-speed 256") << int(Speed) << "ed:256;1x1xxx1xxx1,20%" << "Text9" << 1;
    QTest::newRow("over-speed huge") << int(Speed) << "ed:99999999999999999999;1x1xxx1xxx1,20%" << "Text9" << 1;
    QTest::newRow("over-speed not a number") << int(Speed) << "ed:8x;1x1xxx1xxx1,20%" << "Text9" << 1;
    QTest::newRow("over-speed signed") << int(Speed) << "ed:+8;1x1xxx1xxx1,20%" << "Text9" << 1;
    QTest::newRow("over-speed empty") << int(Speed) << "ed:;1x1xxx1xxx1,20%" << "Text9" << 1;
    QTest::newRow("over-speed never ends") << int(Speed) << "ed:8 1x1xxx1xxx1,20%" << "Text9" << 1;
    QTest::newRow("no battery comma") << int(Speed) << "ed:8;1x1xxx1xxx1 20%" << "Combo3" << 1;
    QTest::newRow("fence switch pair 10") << int(Switch) << "10" << "Check_d5_on" << 1;
    QTest::newRow("fence side pair DF") << int(Side) << "DF" << "Check_d5_in" << 1;
    QTest::newRow("fence defined pair not hex") << int(Defined) << "xx" << "Text14" << 2;
}

void TestDumpParser::outOfFormat()
{
    QFETCH(int, line);
    QFETCH(QString, text);
    QFETCH(QString, firstLost);
    QFETCH(int, occurrence);

    const Effects full = bulk::parseDump(example(), false);
    QStringList lines = exampleLines();
    lines[line] = text;
    const Effects effects = bulk::parseDump(joined(lines), false);
    const qsizetype kept = indexOfNth(full, firstLost, occurrence);
    QVERIFY(kept >= 0);
    QCOMPARE(describe(effects), describe(head(full, kept)) << describe(kIncomplete));
}

// Positions are 16-bit on the tracker: 32,767 characters is the longest readable dump.
void TestDumpParser::replyLengthLimit()
{
    const QString good = example();
    const QString longest = good + QString(32767 - good.size(), u' ');
    QCOMPARE(longest.size(), 32767);
    QCOMPARE(describe(bulk::parseDump(longest, false)), describe(bulk::parseDump(good, false)));
    QCOMPARE(describe(bulk::parseDump(longest + QChar(u' '), false)), QStringList{describe(kIncomplete)});
    QCOMPARE(describe(bulk::parseDump(QChar(u' ') + longest, false)), QStringList());
}

void TestDumpParser::randomReplies()
{
    // Mostly characters and markers the parser looks for, so that it gets past the first fields.
    static const QStringList pieces = {"A", "B", "C", "D", "E", "F", "G", "H", ";", ",", "\r", "\n", ":", "0",
                                       "1", "8", "9", "E5", "A8", "4D", "x", "ord:", "HP:", "IMEI:", "ed:",
                                       "word:", ";;;;;", "\r\n", "FF", "18"};
    QRandomGenerator random(20240611);
    int incomplete = 0, empty = 0;
    for (int round = 0; round < 4000; ++round) {
        QString reply = round % 2 ? QStringLiteral("A") : QString();
        const int parts = random.bounded(120);
        for (int i = 0; i < parts; ++i) {
            if (random.bounded(10) == 0)
                reply += QChar(char16_t(random.bounded(0x10000)));
            else
                reply += pieces[random.bounded(int(pieces.size()))];
        }
        const bool condor = random.bounded(2);
        const Effects effects = bulk::parseDump(reply, condor);
        const QString broken = brokenRule(reply, effects);
        QVERIFY2(broken.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(broken)));
        empty += effects.empty();
        incomplete += !effects.empty() && effects.back() == kIncomplete;
    }
    QVERIFY(empty > 0);
    QVERIFY(incomplete > 0);
}

void TestDumpParser::mutatedDumps()
{
    static const QString alphabet = "ABCDEFGHabcdef0189;,:\r\n x";
    const QStringList dumps = {example(), joined(condorLines("10", "60"))};
    QRandomGenerator random(77);
    int complete = 0, messages = 0;
    for (int round = 0; round < 3000; ++round) {
        QString reply = dumps[round % 2];
        const int edits = 1 + random.bounded(4);
        for (int i = 0; i < edits; ++i) {
            const int at = random.bounded(int(reply.size()) + 1);
            const QChar c = alphabet[random.bounded(int(alphabet.size()))];
            switch (random.bounded(3)) {
            case 0: if (at < reply.size()) reply[at] = c; break;
            case 1: reply.remove(at, 1 + random.bounded(3)); break;
            default: reply.insert(at, c); break;
            }
        }
        const Effects effects = bulk::parseDump(reply, round % 2);
        const QString broken = brokenRule(reply, effects);
        QVERIFY2(broken.isEmpty(), qPrintable(QStringLiteral("round %1: %2\n%3").arg(round).arg(broken, describe(effects).join(u'\n'))));
        complete += !effects.empty() && messagesOf(effects).isEmpty();
        messages += !messagesOf(effects).isEmpty();
    }
    // Small edits leave many dumps readable and break many others: both roads are taken.
    QVERIFY(complete > 300);
    QVERIFY(messages > 300);
}

QTEST_GUILESS_MAIN(TestDumpParser)
#include "tst_dump_parser.moc"
