// The dump parser on literal dump lines: fields, marks, cut and garbled dumps (random ones: fuzz_dump).
#include "core/dump_parser.h"

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

QString joined(QStringList lines)
{
    return lines.join("\r\n") + "\r\n";
}

QString withLine(int line, const QString& text)
{
    QStringList lines = exampleLines();
    lines[line] = text;
    return joined(lines);
}

QString condorDump(const QString& io, const QString& arm)
{
    QStringList lines = exampleLines();
    lines.insert(Defined + 1, io);
    lines.insert(Defined + 2, arm);
    return joined(lines);
}

}  // namespace

class DumpParserTest : public QObject {
    Q_OBJECT
private slots:
    void theExampleFillsEveryGroup()
    {
        const DumpRead r = parseDump(joined(exampleLines()), false);
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
        QTest::addColumn<QString>("port");
        QTest::newRow("no arm, high; call-out") << "10" << "C0" << "port.armFunction=None, port.armLevel=High, port.lineFunction=CallOut";
        QTest::newRow("pulse with its polarity; input low") << "01" << "60" << "port.armFunction=Pulse, port.armLevel=Low, port.lineFunction=InputLow";
        QTest::newRow("level arm, low; input high") << "00" << "20" << "port.armFunction=Level, port.armLevel=Low, port.lineFunction=InputHigh";
        QTest::newRow("bit 4 wins over bit 0") << "11" << "A0" << "port.armFunction=None, port.armLevel=Low, port.lineFunction=CallOut";
        QTest::newRow("lower case hex") << "ef" << "e0" << "port.armFunction=None, port.armLevel=Low, port.lineFunction=InputLow";
    }
    void condorPairs()
    {
        QFETCH(QString, io);
        QFETCH(QString, arm);
        QFETCH(QString, port);
        const DumpRead condor = parseDump(condorDump(io, arm), true);
        QVERIFY(!condor.incomplete);
        QCOMPARE(describe(Params{.port = condor.params.port}).join(", "), port);
    }

    // One dump line replaced: "key=value" lines the read holds. An unknown unit and hours above 23,
    // with their messages where the window shows them: tst_pages.
    void fields_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("number next to its letter") << int(Phones) << "A;B22;C333;D;E;F;G;H8;;;;;;" << QStringList{"telephones.2=22", "telephones.3=333"};
        QTest::newRow("eighth number to ;") << int(Phones) << "A;B;C;D;E;F;G;H0086 10;;;;;;" << QStringList{"telephones.8=0086 10"};
        QTest::newRow("odometer six of seven") << int(Block) << "1234567;ord:,1E000000050000004D00030010100010" << QStringList{"other.odometer=123456"};
        QTest::newRow("unit 73 is Sec") << int(Block) << "000150;ord:,FF0000000500000073000A0010100010" << QStringList{"gprs.interval=255", "gprs.intervalUnit=Sec"};
        QTest::newRow("unit 48 is Hour") << int(Block) << "000150;ord:,05000000050000004800030010100010" << QStringList{"gprs.interval=005", "gprs.intervalUnit=Hour"};
        QTest::newRow("displacement FA") << int(Block) << "000150;ord:,1E000000FA0000004D00030010100010" << QStringList{"other.displacement=250"};
        QTest::newRow("shake without zeros") << int(Block) << "000150;ord:,1E000000050000004D000C0010100010" << QStringList{"other.shakeStep=12"};
        QTest::newRow("door 0 is Hight") << int(Block) << "000150;ord:,1E000000050000004D00030000000000" << QStringList{"special.doorLevel=High", "special.inputTel=Listen", "special.sosOutTel=Spk", "special.lockType=Gas"};
        QTest::newRow("http port to line end") << int(Http) << "HP:http://a.b/c,8080" << QStringList{"gprs.httpAddress=http://a.b/c", "gprs.httpPort=8080"};
        // Fences 1 and 3 are switched on by E5; the defined pair leaves fence 1 out.
        QTest::newRow("defined pair wins") << int(Defined) << "F4" << QStringList{"fences.1.on=off", "fences.1.coordinate=", "fences.2.coordinate=", "fences.3.on=on", "fences.3.coordinate=P3"};
        QTest::newRow("speed 80") << int(Speed) << "ed:80;1x1xxx1xxx1,20%" << QStringList{"other.overSpeed=080"};
        QTest::newRow("speed off flag") << int(Speed) << "ed:120;0x1xxx1xxx1,20%" << QStringList{"other.overSpeed=120", "other.overSpeedOn=off"};
        QTest::newRow("interval off flag") << int(Speed) << "ed:8;1x0xxx1xxx1,20%" << QStringList{"gprs.interval=030", "gprs.intervalOn=off"};
        QTest::newRow("displacement off flag") << int(Speed) << "ed:8;1x1xxx0xxx1,20%" << QStringList{"other.displacementOn=off"};
        QTest::newRow("battery text after off flag") << int(Speed) << "ed:8;1x1xxx1xxx0,35%" << QStringList{"other.lowBattery=35%", "other.lowBatteryOn=off"};
        QTest::newRow("password to line end") << int(Word) << "word:123456" << QStringList{"other.password=123456"};
        QTest::newRow("local time -08:30") << int(Time) << "48" << QStringList{"other.localHours=-08", "other.localMinutes=30"};
        QTest::newRow("local time minutes 45") << int(Time) << "F7" << QStringList{"other.localHours=+23", "other.localMinutes=45"};
    }
    void fields()
    {
        QFETCH(int, line);
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        const DumpRead r = parseDump(withLine(line, text), false);
        QVERIFY(!r.incomplete && !r.intervalError && !r.localTimeError);
        const QStringList got = describe(r.params);
        for (const QString& f : fields)
            QVERIFY2(got.contains(f), qPrintable(f + " not in: " + got.join("; ")));
    }

    // A dump cut anywhere keeps what it reached, with the values of the whole dump, and says that
    // it is incomplete.
    void everyPrefixOfAGoodDump()
    {
        for (const QString& full : {joined(exampleLines()), condorDump("10", "C0")}) {
            const bool condor = full.count("\r\n") > 15;
            const DumpRead whole = parseDump(full, condor);
            QVERIFY(!whole.incomplete);
            const QStringList wholeFields = describe(whole.params);
            qsizetype fieldsBefore = 0;
            for (qsizetype n = 1; n < full.size(); ++n) {
                const DumpRead cut = parseDump(full.left(n), condor);
                if (cut == whole)
                    continue;   // only the final line end was missing
                const QStringList fields = describe(cut.params);
                const QString at = QString::number(n);
                QVERIFY2(cut.incomplete, qPrintable(at));
                QVERIFY2(QSet<QString>(fields.begin(), fields.end())
                             .subtract(QSet<QString>(wholeFields.begin(), wholeFields.end())).isEmpty(),
                         qPrintable(at));
                QVERIFY2(fields.size() >= fieldsBefore, qPrintable(at));   // a longer text never reads less
                fieldsBefore = fields.size();
            }
        }
    }

    void outOfFormat_data()
    {
        QTest::addColumn<QString>("dump");
        QTest::newRow("over-speed above 255") << withLine(Speed, "ed:300;1x1xxx1xxx1,20%");
        QTest::newRow("fence pair below E0") << withLine(Side, "10");
        QTest::newRow("letters out of order") << withLine(Phones, "A1;C2;B3;D;E;F;G;H;;;;;;");
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
