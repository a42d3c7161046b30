// Command builders of every frame, without widgets: the exact line, and every question, note and
// refusal in its order.
#include "link/commands.h"

#include <QTest>

Q_DECLARE_METATYPE(Draft)

namespace {
Draft asked(const QString& q, const QString& line) { Draft d = Draft::send(line); d.ask = q; return d; }
Draft noted(const QString& n, const QString& line) { Draft d = Draft::send(line); d.notes << n; return d; }
Draft refused(const QString& m) { return Draft::refusal(m); }
Draft sent(const QString& line) { return Draft::send(line); }
const char* const kReinput = "PLS Reinput,It shouold be 3 digits";
const char* const kOver250 = "The Input Value Can't Be Greater Than 250";
const char* const kLineBreak = "PLS Remove The Line Break From The Input";
}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void builders_data()
    {
        QTest::addColumn<Draft>("built");
        QTest::addColumn<Draft>("expected");
        auto row = [](const char* name, const Draft& built, const Draft& expected) {
            QTest::newRow(name) << built << expected;
        };
        // GPRS
        row("apn", gprs::apn("cmnet"), sent("SETCcmnet"));
        row("apn empty asks", gprs::apn(""), asked("APN is NULL", "SETC"));
        row("apn spaces kept", gprs::apn("  a b "), sent("SETC  a b "));
        row("server", gprs::apnServer("apn", "10.1.2.3", "9000"), sent("SETCapn,10.1.2.3:9000"));
        row("server, apn empty", gprs::apnServer("", "h.x", "1"), asked("APN is NULL", "SETC,h.x:1"));
        row("server, no port", gprs::apnServer("a", "1.1.1.1", ""), refused("PLS Input Port"));
        row("user and password empty", gprs::apnUser("", ""), noted("APN Name And APN Password is NULL", "SETO,"));
        row("name empty", gprs::apnUser("", "pw"), noted("APN Name is NULL", "SETO,pw"));
        row("password empty", gprs::apnUser("u", ""), noted("APN Password is NULL", "SETOu,"));
        row("http deletion", gprs::http("", ""), asked("Delete NET Address & Port,And Don't Make HTTP Connection", "SETR;"));
        row("http port only", gprs::http("", "80"), refused("PLS Input NET Address,And Start With http://"));
        row("http no port", gprs::http("www.x.org", ""), refused("PLS Inupt the PORT of HTTP Connection"));
        row("http as typed", gprs::http("ftp.x/a", "8080"), sent("SETRftp.x/a;8080"));
        row("interval empty", gprs::interval("", false, true, false), sent("SETM0,030S"));
        row("interval 0 no unit", gprs::interval("0", false, false, false), sent("SETM0,030S"));
        row("interval 00", gprs::interval("00", false, false, true), sent("SETM0,030S"));
        row("interval 000", gprs::interval("000", true, false, false), sent("SETM0,030S"));
        row("interval 0000", gprs::interval("0000", true, false, false), sent("SETM1,0000S"));
        row("interval 2 chars", gprs::interval("45", false, true, false), refused("PLS Input 3 Digits"));
        row("interval no unit", gprs::interval("120", false, false, false), refused("PLS Select Time Unit!"));
        row("interval minutes first", gprs::interval("015", false, true, true), sent("SETM1,015M"));
        row("interval letters", gprs::interval("abc", false, false, true), sent("SETM1,abcH"));
        row("write, ip empty", gprs::writeStart("", "", "9000"), sent("SETC"));
        row("write with server", gprs::writeStart("a", "1.2.3.4", "80"), sent("SETCa,1.2.3.4:80"));
        row("write, no port", gprs::writeStart("a", "1.2.3.4", ""), refused("PLS Input Port"));
        // Telephone numbers and fences
        row("tel empty deletes", tel::slot(3, ""), noted("Delete The Telephone Number", "SETA3,D"));
        row("tel D", tel::slot(1, "D"), sent("SETA1,D"));
        row("tel spaces", tel::slot(8, "  "), sent("SETA8,  "));
        row("fence off out", fence::apply(3, "OFF", "OUT", "22.5"), sent("SETI3,0,1#"));
        row("fence off in", fence::apply(2, "OFF", "IN", ""), sent("SETI2,0,0#"));
        row("fence on in", fence::apply(1, "ON", "IN", "N22 , E114"), sent("SETI1,1,0,N22 , E114"));
        row("fence odd captions", fence::apply(4, "On", "Out", "c"), sent("SETI4,1,0,c"));
        row("fence on, no text", fence::apply(1, "ON", "OUT", ""), refused("PLS Input The Coordinate for GEO-FENCE"));
        // Other settings
        row("battery", other::battery("45%"), sent("SETN1,45"));
        row("battery off", other::battery("00%"), sent("SETN0,00"));
        row("battery half to even", other::battery("12.5%"), sent("SETN1,12"));
        row("battery half up to even", other::battery("13.5"), sent("SETN1,14"));
        row("battery to its first number", other::battery("2.5.1%"), sent("SETN1,2"));
        row("chain battery keeps fraction", other::chainBattery("12.5%"), sent("SETN1,12.5"));
        row("battery negative", other::battery("-1"), refused("PLS Input A Level From 0 To 255"));
        row("battery 300%", other::chainBattery("300%"), refused("PLS Input A Level From 0 To 255"));
        row("speed empty", other::speed(""), noted("Close Speeding Alarm", "SETJ0,000"));
        row("speed 120", other::speed("120"), sent("SETJ1,120"));
        row("speed 250", other::speed("250"), sent("SETJ1,250"));
        row("speed 0", other::speed("0"), sent("SETJ0,000"));
        row("speed 12", other::speed("12"), refused(kReinput));
        row("speed 251", other::speed("251"), refused(kOver250));
        row("speed 40000", other::speed("40000"), refused(kOver250));
        row("speed 1e9", other::speed("1e9"), refused(kOver250));
        row("speed negative", other::speed("-10"), refused("PLS Input A Speed From 000 To 250"));
        row("chain speed empty", other::chainSpeed(""), sent("SETJ0,000"));
        row("chain speed 300", other::chainSpeed("300"), refused("Input Value Can't Be Greater Than 250"));
        row("chain speed 12", other::chainSpeed("12"), refused(kReinput));
        row("local time", other::localTime("-05", ""), sent("SETL-05:00"));
        row("local time empty", other::localTime("", "30"), refused("PLS Input"));
        row("fuel", other::fuel("10,200,90,4000"), sent("SETSO10,200,90,4000"));
        row("shake empty", other::shake(""), noted("Close Shake Sensor", "SETS0"));
        row("chain shake empty", other::chainShake(""), sent("SETS0"));
        row("odometer empty", other::odometer(""), sent("SETQ000000"));
        row("displacement 00", other::displacement("00"), noted("Close Shift Detection", "SETP0,010"));
        row("chain displacement empty", other::chainDisplacement(""), sent("SETP0,010"));
        row("displacement 0000", other::displacement("0000"), sent("SETP1,0000"));
        row("password empty", other::password(""), refused("Password can't NULL"));
        // The port and special frames' other lines: tst_hands, every option through its Apply
        row("pulse arm, positive", sent(portset::armLine(portset::Arm::Pulse, portset::Level::High)), sent("SETS1,1,1"));
        // Line breaks: refused before any question
        row("line break", guarded(gprs::apn("a\nSETT1")), refused(kLineBreak));
        row("carriage return", guarded(gprs::apnServer("", "ip\r", "1")), refused(kLineBreak));
        row("refusal stays", guarded(gprs::apnServer("", "", "1")), [] { Draft d = refused("PLS Input IP"); d.ask = "APN is NULL"; return d; }());
    }
    void builders()
    {
        QFETCH(Draft, built);
        QFETCH(Draft, expected);
        QCOMPARE(built.ask, expected.ask);
        QCOMPARE(built.notes, expected.notes);
        QCOMPARE(built.refuse, expected.refuse);
        QCOMPARE(built.line, expected.line);
    }
};

QTEST_APPLESS_MAIN(CommandsTest)
#include "tst_commands.moc"
