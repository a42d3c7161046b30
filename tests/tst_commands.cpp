// Command builders where no window row (tst_hands) reaches: the line, questions, notes, refusals.
#include "core/commands.h"

#include <QTest>

namespace {
// "? question | note | ! refusal | line", as the technician meets them.
QString steps(const Draft& d)
{
    QStringList s;
    if (!d.ask.isEmpty())
        s << "? " + d.ask;
    s += d.notes;
    if (d.refused())
        s << "! " + d.refuse;
    if (!d.line.isEmpty())
        s << d.line;
    return s.join(" | ");
}
}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void builders_data()
    {
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const Draft& built, const char* expected) {
            QTest::newRow(name) << steps(built) << QString(expected);
        };
        // GPRS
        row("apn spaces kept", gprs::apn("  a b "), "SETC  a b ");
        row("server, apn empty", gprs::apnServer("", "h.x", "1"), "? APN is NULL | SETC,h.x:1");
        row("server, no port", gprs::apnServer("a", "1.1.1.1", ""), "! PLS Input Port");
        row("name empty", gprs::apnUser("", "pw"), "APN Name is NULL | SETO,pw");
        row("password empty", gprs::apnUser("u", ""), "APN Password is NULL | SETOu,");
        row("http deletion", gprs::http("", ""), "? Delete NET Address & Port,And Don't Make HTTP Connection | SETR;");
        row("http port only", gprs::http("", "80"), "! PLS Input NET Address,And Start With http://");
        row("http no port", gprs::http("www.x.org", ""), "! PLS Inupt the PORT of HTTP Connection");
        for (const char* off : {"", "0", "00", "000"})   // off needs no unit
            QTest::addRow("interval '%s'", off)
                << steps(gprs::interval(off, false, false, false)) << "SETM0,030S";
        row("interval 0000", gprs::interval("0000", true, false, false), "SETM1,0000S");
        row("interval no unit", gprs::interval("120", false, false, false), "! PLS Select Time Unit!");
        row("write, ip empty", gprs::writeStart("", "", "9000"), "SETC");
        // Telephone numbers and fences
        row("tel spaces", tel::slot(8, "  "), "SETA8,  ");
        row("fence off in", fence::apply(2, "OFF", "IN", ""), "SETI2,0,0#");
        // Other settings
        row("battery off", other::battery("00%"), "SETN0,00");
        row("battery half to even", other::battery("12.5%"), "SETN1,12");
        row("battery half up to even", other::battery("13.5"), "SETN1,14");
        row("battery to its first number", other::battery("2.5.1%"), "SETN1,2");
        row("chain battery 300%", other::chainBattery("300%"), "! PLS Input A Level From 0 To 255");
        row("speed 250", other::speed("250"), "SETJ1,250");
        row("speed 0", other::speed("0"), "SETJ0,000");
        row("speed 1e9", other::speed("1e9"), "! The Input Value Can't Be Greater Than 250");
        row("speed negative", other::speed("-10"), "! PLS Input A Speed From 000 To 250");
        row("chain speed empty", other::chainSpeed(""), "SETJ0,000");
        row("chain speed 300", other::chainSpeed("300"), "! Input Value Can't Be Greater Than 250");
        row("local time empty", other::localTime("", "30"), "! PLS Input");
        row("shake empty", other::shake(""), "Close Shake Sensor | SETS0");
        row("displacement 00", other::displacement("00"), "Close Shift Detection | SETP0,010");
        row("displacement 0000", other::displacement("0000"), "SETP1,0000");
        row("password empty", other::password(""), "! Password can't NULL");
        row("pulse arm, positive", Draft::send(portset::armLine(portset::Arm::Pulse, portset::Level::High)), "SETS1,1,1");
        // Line breaks: refused before any question; a refusal already made stays.
        row("carriage return", guarded(gprs::apnServer("", "ip\r", "1")), "! PLS Remove The Line Break From The Input");
        row("refusal stays", guarded(gprs::apnServer("", "", "1")), "? APN is NULL | ! PLS Input IP");
    }
    void builders()
    {
        QFETCH(QString, built);
        QFETCH(QString, expected);
        QCOMPARE(built, expected);
    }
};

QTEST_APPLESS_MAIN(CommandsTest)
#include "tst_commands.moc"
