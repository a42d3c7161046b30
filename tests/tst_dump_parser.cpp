// The parameter dump parser: what a read puts into the window, and how it copes with a dump that
// is cut short or garbled.
#include "bulk/dump_parser.h"

#include <QHash>
#include <QRegularExpression>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using bulk::Effect;
using Effects = std::vector<Effect>;

namespace {

enum Line { Phones, Block, Http, Imei, Fence1, Switch = Fence1 + 5, Side, Defined, Speed, Word, Time };

QStringList exampleLines()
{
    return {"A1001;B1002;C;D;E;F;G;H1008;apn;;;10.0.0.1;9000;",
            "000150;ord:,1E000000050000004D00030010100010",
            "HP:abc,80",
            "IMEI:350000000000001,Ver:1.0,2.3,",
            "1:P1", "2:P2", "3:P3", "4:", "5:",
            "E5", "E1", "E7",
            "ed:8;1x1xxx1xxx1,20%",
            "word:",
            "A8"};
}

QString joined(const QStringList& lines)
{
    QString s;
    for (const QString& line : lines)
        s += line + QStringLiteral("\r\n");
    return s;
}

QStringList condorLines(const QString& io, const QString& arm)
{
    QStringList lines = exampleLines();
    lines.insert(Defined + 1, io);
    lines.insert(Defined + 2, arm);
    return lines;
}

// The window as the effects leave it: texts, selected options and checked boxes, captions, hidden
// widgets and messages. Selecting an option deselects its group mates, as in the window.
struct View {
    QHash<QString, QString> text;
    QSet<QString> on;
    QSet<QString> hidden;
    QStringList messages;

    static View of(const Effects& effects)
    {
        static const QList<QStringList> groups = {
            {"Option1", "Option2", "Option3"}, {"Option23", "Option24"}, {"Option25", "Option26"},
            {"Option27", "Option28"}, {"Option21", "Option22"}, {"Option18", "Option19", "Option20"},
            {"Option13", "Option14", "Option15"}, {"Option16", "Option17"}};
        View v;
        for (const Effect& e : effects) {
            switch (e.kind) {
            case Effect::SetText: v.text[e.control] = e.text; break;
            case Effect::Select:
                for (const QStringList& g : groups)
                    if (g.contains(e.control))
                        for (const QString& mate : g) v.on.remove(mate);
                v.on << e.control;
                break;
            case Effect::Deselect: v.on.remove(e.control); break;
            case Effect::SetCheck:
                e.on ? void(v.on << e.control) : void(v.on.remove(e.control));
                v.text[e.control] = e.text;
                break;
            case Effect::Hide: v.hidden << e.control; break;
            case Effect::Message: v.messages << e.text; break;
            }
        }
        return v;
    }
};

View read(const QStringList& lines, bool condor = false) { return View::of(bulk::parseDump(joined(lines), condor)); }

}  // namespace

class DumpParserTest : public QObject {
    Q_OBJECT
private slots:
    void theExampleFillsEveryFrame()
    {
        const View v = read(exampleLines());
        QVERIFY(v.messages.isEmpty());
        const QHash<QString, QString> expected = {
            {"Text6", "1001"}, {"Text7", "1002"}, {"Text8", ""}, {"Text25", ""}, {"Text26", ""}, {"Text27", ""},
            {"Text28", ""}, {"Text29", "1008"}, {"Text1", "apn"}, {"Text19", ""}, {"Text20", ""},
            {"Text3", "10.0.0.1"}, {"Text5", "9000"}, {"Text18", "000150"}, {"Text21", "030"}, {"Text33", "005"},
            {"Text32", "3"}, {"Text4", "abc"}, {"Text31", "80"}, {"Text2", "350000000000001"}, {"Text30", "1.0"},
            {"Text23", "2.3"}, {"Text10", "P1"}, {"Text11", "P2"}, {"Text12", "P3"}, {"Text13", ""}, {"Text14", ""},
            {"Text9", "008"}, {"Combo3", "20%"}, {"Text17", ""}, {"Text15", "+08"}, {"Combo4", "15"},
            {"Check_d1_on", "ON"}, {"Check_d2_on", "OFF"}, {"Check_d3_on", "ON"}, {"Check_d4_on", "OFF"},
            {"Check_d5_on", "OFF"}, {"Check_d1_in", "OUT"}, {"Check_d2_in", "IN"}, {"Check_d5_in", "IN"}};
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(v.text.value(it.key(), "<unset>") + " <- " + it.key(), it.value() + " <- " + it.key());
        for (const char* o : {"Option2", "Option24", "Option26", "Option28", "Option21", "Check_d1_on",
                              "Check_d3_on", "Check_d2_in", "Check_d5_in"})
            QVERIFY2(v.on.contains(o), o);
        for (const char* o : {"Option1", "Check_d2_on", "Check_d4_on", "Check_d1_in", "Option19", "Option14"})
            QVERIFY2(!v.on.contains(o), o);
    }

    void condorPairs_data()
    {
        QTest::addColumn<QString>("io");
        QTest::addColumn<QString>("arm");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<bool>("frame9Hidden");
        QTest::newRow("no arm, high; call-out") << "10" << "C0" << QStringList{"Option20", "Option14", "Option16"} << false;
        QTest::newRow("pulse keeps level; output") << "01" << "60" << QStringList{"Option18", "Option15"} << true;
        QTest::newRow("level arm, low; input low") << "00" << "20" << QStringList{"Option19", "Option13", "Option17"} << false;
        QTest::newRow("bit 4 wins over bit 0") << "11" << "A0" << QStringList{"Option20", "Option14", "Option17"} << false;
        QTest::newRow("lower case hex") << "ef" << "e0" << QStringList{"Option18", "Option14", "Option17"} << false;
    }
    void condorPairs()
    {
        QFETCH(QString, io);
        QFETCH(QString, arm);
        QFETCH(QStringList, selected);
        QFETCH(bool, frame9Hidden);
        const View condor = read(condorLines(io, arm), true);
        QVERIFY(condor.messages.isEmpty());
        QStringList options;
        for (const QString& o : condor.on)
            if (QRegularExpression("^Option1[3-9]|^Option20").match(o).hasMatch()) options << o;
        options.sort();
        selected.sort();
        QCOMPARE(options, selected);
        QCOMPARE(condor.hidden.contains("Frame9"), frame9Hidden);
        const View other = read(condorLines(io, arm), false);   // not read without the model
        for (const char* o : {"Option13", "Option14", "Option15", "Option16", "Option17", "Option18", "Option19", "Option20"})
            QVERIFY(!other.on.contains(o));
    }

    void fields_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("value");   // the control's text, "+X" if X is selected, or a message
        QTest::newRow("number next to its letter") << int(Phones) << "A;B22;C333;D;E;F;G;H8;;;;;;" << "Text7" << "22";
        QTest::newRow("eighth number to ;") << int(Phones) << "A;B;C;D;E;F;G;H0086 10;;;;;;" << "Text29" << "0086 10";
        QTest::newRow("odometer six of seven") << int(Block) << "1234567;ord:,1E000000050000004D00030010100010" << "Text18" << "123456";
        QTest::newRow("unit 73 is Sec") << int(Block) << "000150;ord:,FF0000000500000073000A0010100010" << "Text21" << "255";
        QTest::newRow("unit 48 is Hour") << int(Block) << "000150;ord:,05000000050000004800030010100010" << "Option3" << "+Option3";
        QTest::newRow("unit 6d unknown") << int(Block) << "000150;ord:,1E000000050000006d00030010100010" << "msg" << "Interval Error";
        QTest::newRow("displacement FA") << int(Block) << "000150;ord:,1E000000FA0000004D00030010100010" << "Text33" << "250";
        QTest::newRow("shake without zeros") << int(Block) << "000150;ord:,1E000000050000004D000C0010100010" << "Text32" << "12";
        QTest::newRow("door 0 is Hight") << int(Block) << "000150;ord:,1E000000050000004D00030000000000" << "Option23" << "+Option23";
        QTest::newRow("http port to line end") << int(Http) << "HP:http://a.b/c,8080" << "Text31" << "8080";
        QTest::newRow("speed 80") << int(Speed) << "ed:80;1x1xxx1xxx1,20%" << "Text9" << "080";
        QTest::newRow("speed 120") << int(Speed) << "ed:120;1x1xxx1xxx1,20%" << "Text9" << "120";
        QTest::newRow("speed off flag") << int(Speed) << "ed:120;0x1xxx1xxx1,20%" << "Text9" << "000";
        QTest::newRow("interval off flag") << int(Speed) << "ed:8;1x0xxx1xxx1,20%" << "Text21" << "000";
        QTest::newRow("displacement off flag") << int(Speed) << "ed:8;1x1xxx0xxx1,20%" << "Text33" << "000";
        QTest::newRow("battery text after off flag") << int(Speed) << "ed:8;1x1xxx1xxx0,35%" << "Combo3" << "35%";
        QTest::newRow("password to line end") << int(Word) << "word:123456" << "Text17" << "123456";
        QTest::newRow("local time -08:30") << int(Time) << "48" << "Text15" << "-08";
        QTest::newRow("local time minutes 45") << int(Time) << "F7" << "Combo4" << "45";
        QTest::newRow("hours above 23") << int(Time) << "18" << "msg" << "Local Time Error";
    }
    void fields()
    {
        QFETCH(int, line);
        QFETCH(QString, text);
        QFETCH(QString, control);
        QFETCH(QString, value);
        QStringList lines = exampleLines();
        lines[line] = text;
        const View v = read(lines);
        if (control == "msg")
            QCOMPARE(v.messages, QStringList{value});
        else if (value.startsWith('+'))
            QVERIFY(v.on.contains(value.mid(1)));
        else
            QCOMPARE(v.text.value(control), value);
        if (control != "msg")
            QVERIFY(v.messages.isEmpty());
    }

    void intervalOffDeselectsTheUnitAndLocalTimeErrorEndsTheRead()
    {
        QStringList lines = exampleLines();
        lines[Speed] = "ed:8;1x0xxx1xxx1,20%";
        QVERIFY(!read(lines).on.contains("Option2"));
        lines[Time] = "18";
        const Effects effects = bulk::parseDump(joined(lines), false);
        QCOMPARE(effects.back().kind, Effect::Message);
        QCOMPARE(View::of(effects).text.value("Text15"), QString("-"));
        QVERIFY(!View::of(effects).text.contains("Combo4"));
        QVERIFY(bulk::parseDump(" " + joined(exampleLines()), false).empty());   // not beginning with "A"
    }

    void fencePairsApplyFromFiveDownToOne()
    {
        QStringList lines = exampleLines();
        lines[Switch] = "FF";
        lines[Defined] = "F0";   // fences 1 to 4 undefined: emptied and switched off after the switch pair
        const View v = read(lines);
        QCOMPARE(v.text.value("Text10"), QString());
        QCOMPARE(v.text.value("Check_d4_on"), QString("OFF"));
        QCOMPARE(v.text.value("Check_d5_on"), QString("ON"));
        QVERIFY(v.on.contains("Check_d5_on") && !v.on.contains("Check_d1_on"));
    }

    // A dump cut anywhere fills what it reached and says once that it is incomplete.
    void everyPrefixOfAGoodDump()
    {
        for (const QString& full : {joined(exampleLines()), joined(condorLines("10", "C0"))}) {
            const bool condor = full.count("\r\n") > 15;
            const Effects whole = bulk::parseDump(full, condor);
            for (qsizetype n = 0; n < full.size(); ++n) {
                const Effects cut = bulk::parseDump(full.left(n), condor);
                if (n == 0) {
                    QVERIFY(cut.empty());
                    continue;
                }
                if (cut == whole)
                    continue;   // only the final line end was missing
                QVERIFY2(!cut.empty() && cut.back() == Effect({Effect::Message, {}, bulk::kIncompleteDump}),
                         qPrintable(QString::number(n)));
                QVERIFY2(std::equal(cut.begin(), cut.end() - 1, whole.begin()), qPrintable(QString::number(n)));
            }
        }
    }

    void outOfFormat_data()
    {
        QTest::addColumn<QString>("dump");
        QStringList speed = exampleLines();
        speed[Speed] = "ed:300;1x1xxx1xxx1,20%";
        QStringList fence = exampleLines();
        fence[Side] = "10";
        QStringList phones = exampleLines();
        phones[Phones] = "A1;C2;B3;D;E;F;G;H;;;;;;";
        QTest::newRow("over-speed above 255") << joined(speed);
        QTest::newRow("fence pair below E0") << joined(fence);
        QTest::newRow("letters out of order") << joined(phones);
        QTest::newRow("telephone longer than 255") << "A" + QString(300, QChar(0x39)) + ";" + joined(exampleLines()).mid(6);
        QTest::newRow("longer than 32767") << joined(exampleLines()) + QString(33000, 'x');
        for (const char* marker : {"B", "D", "ord:", "HP:", "IMEI:", "ed:", "word:"}) {
            QString d = joined(exampleLines());
            d.remove(d.indexOf(marker, 1), int(strlen(marker)));
            QTest::newRow(marker) << d;
        }
    }
    void outOfFormat()
    {
        QFETCH(QString, dump);
        const Effects effects = bulk::parseDump(dump, true);
        const View v = View::of(effects);
        QCOMPARE(v.messages.count(bulk::kIncompleteDump), 1);
        QCOMPARE(effects.back().text, bulk::kIncompleteDump);
    }

    void randomRepliesNeverEscapeTheText()
    {
        QRandomGenerator rng(7);
        const QString good = joined(condorLines("10", "C0"));
        for (int i = 0; i < 4000; ++i) {
            QString s;
            if (i % 2) {   // a good dump with a few characters changed
                s = good;
                for (int k = rng.bounded(1, 6); k > 0; --k)
                    s[rng.bounded(int(s.size()))] = QChar(char16_t(rng.bounded(256)));
            } else {
                s = "A";
                for (int k = rng.bounded(400); k > 0; --k)
                    s += QChar(char16_t(rng.bounded(256)));
            }
            const Effects effects = bulk::parseDump(s, i % 3 == 0);
            int closing = 0;
            for (const Effect& e : effects) {
                closing += e.kind == Effect::Message && e.text != "Interval Error";
                QVERIFY(e.kind != Effect::SetText || e.text.size() <= s.size());
            }
            QVERIFY(closing <= 1);
            if (closing)
                QCOMPARE(effects.back().kind, Effect::Message);
        }
    }
};

QTEST_GUILESS_MAIN(DumpParserTest)
#include "tst_dump_parser.moc"
