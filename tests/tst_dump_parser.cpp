// The parameter dump parser: the parameters a read yields, and how it copes with a dump that is
// cut short or garbled. Arbitrary replies: tests/fuzz/fuzz_dump.cpp.
#include "bulk/dump_parser.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace bulk;

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

DumpRead read(const QStringList& lines, bool condor = false) { return parseDump(joined(lines), condor); }

// Every field a read of `part` holds has the value it has in `whole`.
bool within(const Params& part, const Params& whole)
{
    const QStringList all = describe(whole);
    const QSet<QString> wholeFields(all.begin(), all.end());
    for (const QString& field : describe(part))
        if (!wholeFields.contains(field))
            return false;
    return true;
}

}  // namespace

class DumpParserTest : public QObject {
    Q_OBJECT
private slots:
    void theExampleFillsEveryGroup()
    {
        const DumpRead r = read(exampleLines());
        QVERIFY(!r.incomplete && !r.intervalError && !r.localTimeError);
        Params expected;
        expected.telephones = Telephones{{"1001", "1002", "", "", "", "", "", "1008"}};
        expected.gprs = Gprs{.apn = "apn", .apnUser = "", .apnPassword = "", .serverIp = "10.0.0.1",
                             .serverPort = "9000", .httpAddress = "abc", .httpPort = "80", .interval = "030",
                             .intervalUnit = IntervalUnit::Min, .intervalOn = true};
        expected.other = OtherSettings{.lowBattery = "20%", .lowBatteryOn = true, .overSpeed = "008",
                                       .overSpeedOn = true, .localHours = "+08", .localMinutes = "15",
                                       .fuel = {}, .shakeStep = "3", .odometer = "000150",
                                       .displacement = "005", .displacementOn = true, .password = ""};
        expected.special = SpecialFunctions{LockType::Elc, Level::Low, InputTel::Talk, SosOutTel::Spk};
        expected.identity = Identity{"350000000000001", "1.0", "2.3"};
        // Switch pair E5: fences 1 and 3 on; side pair E1: fence 1 out; defined pair E7: fences 4
        // and 5 are empty and off.
        expected.fences = Fences{{Fence{true, FenceSide::Out, "P1"}, Fence{false, FenceSide::In, "P2"},
                                  Fence{true, FenceSide::In, "P3"}, Fence{false, FenceSide::In, ""},
                                  Fence{false, FenceSide::In, ""}}};
        QCOMPARE(describe(r.params), describe(expected));   // no port group: only read for the Condor model
    }

    void condorPairs_data()
    {
        QTest::addColumn<QString>("io");
        QTest::addColumn<QString>("arm");
        QTest::addColumn<QStringList>("port");
        QTest::newRow("no arm, high; call-out") << "10" << "C0"
            << QStringList{"port.armFunction=None", "port.armLevel=High", "port.lineFunction=CallOut"};
        QTest::newRow("pulse keeps level; input low") << "01" << "60"
            << QStringList{"port.armFunction=Pulse", "port.lineFunction=InputLow"};
        QTest::newRow("level arm, low; input high") << "00" << "20"
            << QStringList{"port.armFunction=Level", "port.armLevel=Low", "port.lineFunction=InputHigh"};
        QTest::newRow("bit 4 wins over bit 0") << "11" << "A0"
            << QStringList{"port.armFunction=None", "port.armLevel=Low", "port.lineFunction=CallOut"};
        QTest::newRow("lower case hex") << "ef" << "e0"
            << QStringList{"port.armFunction=None", "port.armLevel=Low", "port.lineFunction=InputLow"};
    }
    void condorPairs()
    {
        QFETCH(QString, io);
        QFETCH(QString, arm);
        QFETCH(QStringList, port);
        const DumpRead condor = read(condorLines(io, arm), true);
        QVERIFY(!condor.incomplete);
        QCOMPARE(describe(Params{.port = condor.params.port}), port);
        QVERIFY(!read(condorLines(io, arm), false).params.port);   // not read without the model
    }

    void fields_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");   // "key=value" lines the read holds, or "!" and a message
        QTest::newRow("number next to its letter") << int(Phones) << "A;B22;C333;D;E;F;G;H8;;;;;;" << QStringList{"telephones.2=22", "telephones.3=333"};
        QTest::newRow("eighth number to ;") << int(Phones) << "A;B;C;D;E;F;G;H0086 10;;;;;;" << QStringList{"telephones.8=0086 10"};
        QTest::newRow("odometer six of seven") << int(Block) << "1234567;ord:,1E000000050000004D00030010100010" << QStringList{"other.odometer=123456"};
        QTest::newRow("unit 73 is Sec") << int(Block) << "000150;ord:,FF0000000500000073000A0010100010" << QStringList{"gprs.interval=255", "gprs.intervalUnit=Sec"};
        QTest::newRow("unit 48 is Hour") << int(Block) << "000150;ord:,05000000050000004800030010100010" << QStringList{"gprs.interval=005", "gprs.intervalUnit=Hour"};
        QTest::newRow("unit 6d unknown") << int(Block) << "000150;ord:,1E000000050000006d00030010100010" << QStringList{"!Interval Error"};
        QTest::newRow("displacement FA") << int(Block) << "000150;ord:,1E000000FA0000004D00030010100010" << QStringList{"other.displacement=250"};
        QTest::newRow("shake without zeros") << int(Block) << "000150;ord:,1E000000050000004D000C0010100010" << QStringList{"other.shakeStep=12"};
        QTest::newRow("door 0 is Hight") << int(Block) << "000150;ord:,1E000000050000004D00030000000000" << QStringList{"special.doorLevel=High", "special.inputTel=Listen", "special.sosOutTel=Spk", "special.lockType=Gas"};
        QTest::newRow("http port to line end") << int(Http) << "HP:http://a.b/c,8080" << QStringList{"gprs.httpAddress=http://a.b/c", "gprs.httpPort=8080"};
        QTest::newRow("speed 80") << int(Speed) << "ed:80;1x1xxx1xxx1,20%" << QStringList{"other.overSpeed=080"};
        QTest::newRow("speed 120") << int(Speed) << "ed:120;1x1xxx1xxx1,20%" << QStringList{"other.overSpeed=120", "other.overSpeedOn=on"};
        QTest::newRow("speed off flag") << int(Speed) << "ed:120;0x1xxx1xxx1,20%" << QStringList{"other.overSpeed=120", "other.overSpeedOn=off"};
        QTest::newRow("interval off flag") << int(Speed) << "ed:8;1x0xxx1xxx1,20%" << QStringList{"gprs.interval=030", "gprs.intervalOn=off"};
        QTest::newRow("displacement off flag") << int(Speed) << "ed:8;1x1xxx0xxx1,20%" << QStringList{"other.displacementOn=off"};
        QTest::newRow("battery text after off flag") << int(Speed) << "ed:8;1x1xxx1xxx0,35%" << QStringList{"other.lowBattery=35%", "other.lowBatteryOn=off"};
        QTest::newRow("password to line end") << int(Word) << "word:123456" << QStringList{"other.password=123456"};
        QTest::newRow("local time -08:30") << int(Time) << "48" << QStringList{"other.localHours=-08", "other.localMinutes=30"};
        QTest::newRow("local time minutes 45") << int(Time) << "F7" << QStringList{"other.localHours=+23", "other.localMinutes=45"};
        QTest::newRow("hours above 23") << int(Time) << "18" << QStringList{"!Local Time Error", "other.localHours=-"};
    }
    void fields()
    {
        QFETCH(int, line);
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QStringList lines = exampleLines();
        lines[line] = text;
        const DumpRead r = read(lines);
        QVERIFY(!r.incomplete);
        QStringList got = describe(r.params);
        if (r.intervalError)
            got << "!Interval Error";
        if (r.localTimeError)
            got << "!Local Time Error";
        for (const QString& f : fields)
            QVERIFY2(got.contains(f), qPrintable(f + " not in: " + got.join("; ")));
        auto messages = [](const QStringList& l) { return l.filter(QRegularExpression("^!")); };
        QCOMPARE(messages(got), messages(fields));
    }

    // The flag itself: the row "hours above 23" of fields().
    void aLocalTimeErrorEndsTheReadAndAReplyNotBeginningWithAIsNoRead()
    {
        QStringList lines = exampleLines();
        lines[Time] = "18";
        QVERIFY(!read(lines).params.other->localMinutes);                          // Combo4 left as it was
        QVERIFY(parseDump(" " + joined(exampleLines()), false) == DumpRead{});     // not beginning with "A"
    }

    void aFenceTheDefinedPairLeavesOutIsEmptyAndOff()
    {
        QStringList lines = exampleLines();
        lines[Switch] = "FF";
        lines[Defined] = "F0";   // fences 1 to 4 undefined, whatever the switch pair said
        const Fences fences = *read(lines).params.fences;
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(fences.fence[i].coordinate, std::optional<QString>(QString()));
            QCOMPARE(fences.fence[i].on, std::optional<bool>(false));
        }
        QCOMPARE(fences.fence[4].on, std::optional<bool>(true));
    }

    // A dump cut anywhere keeps what it reached, with the values of the whole dump, and says that
    // it is incomplete.
    void everyPrefixOfAGoodDump()
    {
        for (const QString& full : {joined(exampleLines()), joined(condorLines("10", "C0"))}) {
            const bool condor = full.count("\r\n") > 15;
            const DumpRead whole = parseDump(full, condor);
            QVERIFY(!whole.incomplete);
            QVERIFY(parseDump(QString(), condor) == DumpRead{});
            int fieldsBefore = 0;
            for (qsizetype n = 1; n < full.size(); ++n) {
                const DumpRead cut = parseDump(full.left(n), condor);
                if (cut == whole)
                    continue;   // only the final line end was missing
                const QString at = QString::number(n);
                QVERIFY2(cut.incomplete, qPrintable(at));
                QVERIFY2(within(cut.params, whole.params), qPrintable(at));
                const int fields = int(describe(cut.params).size());
                QVERIFY2(fields >= fieldsBefore, qPrintable(at));   // a longer text never reads less
                fieldsBefore = fields;
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
        const DumpRead r = parseDump(dump, true);
        QVERIFY(r.incomplete);
        QVERIFY(!r.params.other || !r.params.other->localMinutes);   // the read never got to its end
    }
};

QTEST_GUILESS_MAIN(DumpParserTest)
#include "tst_dump_parser.moc"
