// Command builders of every frame, without widgets: the exact line, and every question, note and
// refusal in its order.
#include "pages/commands.h"

#include <QTest>

namespace {
Draft asked(const QString& q, const QString& line) { Draft d = Draft::send(line); d.ask = q; return d; }
Draft noted(const QString& n, const QString& line) { Draft d = Draft::send(line); d.notes << n; return d; }
}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void gprsApnAndServer()
    {
        QCOMPARE(gprs::apn("cmnet"), Draft::send("SETCcmnet"));
        QCOMPARE(gprs::apn(""), asked("APN is NULL", "SETC"));
        QCOMPARE(gprs::apn("  a b "), Draft::send("SETC  a b "));   // spaces are a value
        QCOMPARE(gprs::apnServer("apn", "10.1.2.3", "9000"), Draft::send("SETCapn,10.1.2.3:9000"));
        QCOMPARE(gprs::apnServer("", "h.example", "1"), asked("APN is NULL", "SETC,h.example:1"));
        Draft noIp = gprs::apnServer("", "", "1");
        QCOMPARE(noIp.ask, QString("APN is NULL"));
        QCOMPARE(noIp.refuse, QString("PLS Input IP"));
        QCOMPARE(gprs::apnServer("a", "1.1.1.1", "").refuse, QString("PLS Input Port"));
        QCOMPARE(gprs::apnServer("a", " ", " "), Draft::send("SETCa, : "));
    }

    void gprsUserAndHttp()
    {
        QCOMPARE(gprs::apnUser("", ""), noted("APN Name And APN Password is NULL", "SETO,"));
        QCOMPARE(gprs::apnUser("", "pw"), noted("APN Name is NULL", "SETO,pw"));
        QCOMPARE(gprs::apnUser("user", ""), noted("APN Password is NULL", "SETOuser,"));
        QCOMPARE(gprs::apnUser("u", "p"), Draft::send("SETOu,p"));
        QCOMPARE(gprs::http("", ""), asked("Delete NET Address & Port,And Don't Make HTTP Connection", "SETR;"));
        QCOMPARE(gprs::http("", "80").refuse, QString("PLS Input NET Address,And Start With http://"));
        QCOMPARE(gprs::http("www.x.org", "").refuse, QString("PLS Inupt the PORT of HTTP Connection"));
        QCOMPARE(gprs::http("ftp.x.org/a", "8080"), Draft::send("SETRftp.x.org/a;8080"));
    }

    void gprsInterval_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("unit");   // 0 none, 1 sec, 2 min, 3 hour
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("empty") << "" << 2 << "SETM0,030S" << "";
        QTest::newRow("0") << "0" << 0 << "SETM0,030S" << "";
        QTest::newRow("00") << "00" << 3 << "SETM0,030S" << "";
        QTest::newRow("000") << "000" << 1 << "SETM0,030S" << "";
        QTest::newRow("0000 is a value") << "0000" << 1 << "SETM1,0000S" << "";
        QTest::newRow("one char") << "5" << 1 << "" << "PLS Input 3 Digits";
        QTest::newRow("two chars") << "45" << 2 << "" << "PLS Input 3 Digits";
        QTest::newRow("no unit") << "120" << 0 << "" << "PLS Select Time Unit!";
        QTest::newRow("minutes") << "015" << 2 << "SETM1,015M" << "";
        QTest::newRow("hours") << "002" << 3 << "SETM1,002H" << "";
        QTest::newRow("letters sent as typed") << "abc" << 1 << "SETM1,abcS" << "";
        QTest::newRow("long") << "99999" << 1 << "SETM1,99999S" << "";
    }
    void gprsInterval()
    {
        QFETCH(QString, value);
        QFETCH(int, unit);
        QFETCH(QString, line);
        QFETCH(QString, refusal);
        const Draft d = gprs::interval(value, unit == 1, unit == 2, unit == 3);
        QCOMPARE(d.line, line);
        QCOMPARE(d.refuse, refusal);
        QVERIFY(d.ask.isEmpty() && d.notes.isEmpty());
    }

    void gprsWriteStart()
    {
        QCOMPARE(gprs::writeStart("", "", "9000"), Draft::send("SETC"));   // no question, port ignored
        QCOMPARE(gprs::writeStart("apn", "", ""), Draft::send("SETCapn"));
        QCOMPARE(gprs::writeStart("apn", "1.2.3.4", "80"), Draft::send("SETCapn,1.2.3.4:80"));
        QCOMPARE(gprs::writeStart("apn", "1.2.3.4", "").refuse, QString("PLS Input Port"));
        QCOMPARE(gprs::httpLine("", ""), QString("SETR;"));
    }

    void telephone()
    {
        QCOMPARE(tel::slot(3, ""), noted("Delete The Telephone Number", "SETA3,D"));
        QCOMPARE(tel::slot(1, "D"), Draft::send("SETA1,D"));
        QCOMPARE(tel::slot(8, "  "), Draft::send("SETA8,  "));
        QCOMPARE(tel::slot(2, "+8613800000000"), Draft::send("SETA2,+8613800000000"));
        QCOMPARE(tel::chainLine(5, ""), QString("SETA5,D"));
        QCOMPARE(tel::ack(7), QString("7TEL OK!"));
    }

    void fences_data()
    {
        QTest::addColumn<QString>("sw");
        QTest::addColumn<QString>("side");
        QTest::addColumn<QString>("coordinate");
        QTest::addColumn<QString>("line");
        QTest::newRow("off out ignores text") << "OFF" << "OUT" << "22.5,114.1" << "SETI3,0,1#";
        QTest::newRow("off in") << "OFF" << "IN" << "" << "SETI3,0,0#";
        QTest::newRow("on in") << "ON" << "IN" << "N22 , E114" << "SETI3,1,0,N22 , E114";
        QTest::newRow("on out") << "ON" << "OUT" << "x" << "SETI3,1,1,x";
        QTest::newRow("odd captions count as on and in") << "On" << "Out" << "c" << "SETI3,1,0,c";
    }
    void fences()
    {
        QFETCH(QString, sw);
        QFETCH(QString, side);
        QFETCH(QString, coordinate);
        QFETCH(QString, line);
        QCOMPARE(fence::apply(3, sw, side, coordinate), Draft::send(line));
        QCOMPARE(fence::apply(1, "ON", "IN", "").refuse, QString("PLS Input The Coordinate for GEO-FENCE"));
        QCOMPARE(fence::toggledSwitch("OFF"), QString("ON"));
        QCOMPARE(fence::toggledSide("IN"), QString("OUT"));
        QCOMPARE(fence::toggledSide("off"), QString("off"));
    }

    void leadingNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("percent") << "45%" << 45.0;
        QTest::newRow("blanks and sign") << "  -12x" << -12.0;
        QTest::newRow("one point") << "2.5.1" << 2.5;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("not a number") << "abc" << 0.0;
        QTest::newRow("sign alone") << "-" << 0.0;
        QTest::newRow("exponent") << "1e9" << 1e9;
        QTest::newRow("bare exponent letter") << "2E" << 2.0;
    }
    void leadingNumbers()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(other::leadingNumber(text), value);
    }

    void roundingTakesHalvesToEven()
    {
        QCOMPARE(other::roundHalfEven(2.5), 2.0);
        QCOMPARE(other::roundHalfEven(3.5), 4.0);
        QCOMPARE(other::roundHalfEven(250.5), 250.0);
        QCOMPARE(other::roundHalfEven(251.5), 252.0);
        QCOMPARE(other::battery("12.5%"), Draft::send("SETN1,12"));
        QCOMPARE(other::battery("13.5"), Draft::send("SETN1,14"));
    }

    void batteryAndSpeed()
    {
        QCOMPARE(other::battery("45%"), Draft::send("SETN1,45"));
        QCOMPARE(other::battery("00%"), Draft::send("SETN0,00"));
        QCOMPARE(other::battery("off"), Draft::send("SETN0,00"));
        QCOMPARE(other::chainBattery("12.5%"), Draft::send("SETN1,12.5"));
        for (const char* bad : {"-1", "300%", "1e9", "256"}) {
            QCOMPARE(other::battery(bad).refuse, other::kBatteryRange);
            QCOMPARE(other::chainBattery(bad).refuse, other::kBatteryRange);
        }
        QCOMPARE(other::speed(""), noted("Close Speeding Alarm", "SETJ0,000"));
        QCOMPARE(other::speed("120"), Draft::send("SETJ1,120"));
        QCOMPARE(other::speed("250"), Draft::send("SETJ1,250"));
        QCOMPARE(other::speed("0"), Draft::send("SETJ0,000"));
        QCOMPARE(other::speed("000"), Draft::send("SETJ0,000"));
        QCOMPARE(other::speed("12").refuse, QString("PLS Reinput,It shouold be 3 digits"));
        QCOMPARE(other::speed("250.5"), Draft::send("SETJ1,250.5"));   // rounds to 250
        for (const char* big : {"251", "40000", "1e9", "99999999999999999999"})
            QCOMPARE(other::speed(big).refuse, QString("The Input Value Can't Be Greater Than 250"));
        QCOMPARE(other::speed("-10").refuse, other::kSpeedRange);
        QCOMPARE(other::speed("-99999").refuse, other::kSpeedRange);
        QCOMPARE(other::chainSpeed(""), Draft::send("SETJ0,000"));
        QCOMPARE(other::chainSpeed("300").refuse, QString("Input Value Can't Be Greater Than 250"));
        QCOMPARE(other::chainSpeed("12").refuse, QString("PLS Reinput,It shouold be 3 digits"));
    }

    void remainingRows()
    {
        QCOMPARE(other::localTime("+00", "00"), Draft::send("SETL+00:00"));
        QCOMPARE(other::localTime("-05", ""), Draft::send("SETL-05:00"));
        QCOMPARE(other::localTime("", "30").refuse, QString("PLS Input"));
        QCOMPARE(other::fuel(""), Draft::send("SETSO"));
        QCOMPARE(other::fuel("10,200,90,4000"), Draft::send("SETSO10,200,90,4000"));
        QCOMPARE(other::shake(""), noted("Close Shake Sensor", "SETS0"));
        QCOMPARE(other::shake("3"), Draft::send("SETS3"));
        QCOMPARE(other::chainShake(""), Draft::send("SETS0"));
        QCOMPARE(other::odometer(""), Draft::send("SETQ000000"));
        QCOMPARE(other::odometer("001234"), Draft::send("SETQ001234"));
        for (const char* off : {"", "0", "00", "000"}) {
            QCOMPARE(other::displacement(off), noted("Close Shift Detection", "SETP0,010"));
            QCOMPARE(other::chainDisplacement(off), Draft::send("SETP0,010"));
        }
        QCOMPARE(other::displacement("015"), Draft::send("SETP1,015"));
        QCOMPARE(other::displacement("0000"), Draft::send("SETP1,0000"));
        QCOMPARE(other::password("").refuse, QString("Password can't NULL"));
        QCOMPARE(other::password("123456"), Draft::send("SETH123456"));
    }

    void portAndSpecialCommands()
    {
        using namespace portset;
        QCOMPARE(doorLine(true, false), QString("SETXD1B2F2"));
        QCOMPARE(doorLine(false, true), QString("SETXD0B2F2"));
        QCOMPARE(armLine(Arm::None, Level::High), QString("SETS0,2,1"));
        QCOMPARE(armLine(Arm::None, Level::Low), QString("SETS0,2,0"));
        QCOMPARE(armLine(Arm::Level, Level::High), QString("SETS1,0,1"));
        QCOMPARE(armLine(Arm::Level, Level::Low), QString("SETS1,0,0"));
        QCOMPARE(armLine(Arm::Pulse, Level::High), QString("SETS1,1,1"));
        QCOMPARE(armLine(Arm::Pulse, Level::Low), QString("SETS1,1,0"));
        QCOMPARE(lineFunction(true, true, false), QString("SETXD2B0F1"));
        QCOMPARE(lineFunction(false, true, true), QString("SETXD2B1F0"));
        QCOMPARE(lineFunction(false, false, true), QString("SETXD2B0F0"));
        QCOMPARE(special::choice("SETU2,", false, "1", false, "0"), QString("SETU2,"));
        QCOMPARE(special::choice("SETU", false, "3", true, "4"), QString("SETU4"));
        QCOMPARE(special::choice("SETXD", true, "1", true, "0"), QString("SETXD1"));
    }

    void lineBreaksAreRefusedWholesale()
    {
        QCOMPARE(guarded(gprs::apn("a\nSETT1")).refuse, kLineBreakRefusal);
        QCOMPARE(guarded(gprs::http("x\r", "80")).line, QString());
        QCOMPARE(guarded(tel::slot(1, "1\r\n2")).refuse, kLineBreakRefusal);
        const Draft asks = guarded(gprs::apnServer("", "ip\n", "1"));
        QVERIFY(asks.ask.isEmpty());   // refused before any question
        QCOMPARE(asks.refuse, kLineBreakRefusal);
        QCOMPARE(guarded(gprs::apn("")), gprs::apn(""));   // nothing to refuse
        QCOMPARE(guarded(gprs::apnServer("", "", "1")).refuse, QString("PLS Input IP"));
    }
};

QTEST_APPLESS_MAIN(CommandsTest)
#include "tst_commands.moc"
