// Bad text everywhere: huge fields, control characters and characters beyond Latin-1 in every
// input box. Every command still goes out as one whole line, line breaks are refused, nothing
// crashes.
#include "link/serial_port.h"
#include "support/pty.h"
#include "support/rig.h"

#include <QRadioButton>
#include <QTest>

namespace {
const char* const kSenders[] = {"Command10", "Command12", "Command21", "Command22", "Command23", "Command2",
                                "Command13", "Command14", "Command15", "Command16", "Command17", "Command4",
                                "Command29", "Command30", "Command31", "Command32", "Command33", "Command27",
                                "Command26", "Command25", "Command38", "Command39", "Command28", "Command40",
                                "Command11", "Command1", "Command34", "Command35", "Command36"};

QString nasty(int length, bool withLineBreak)
{
    QString s;
    const QChar pieces[] = {QChar(0), QChar(0x1B), QChar('\t'), QChar(0x7F), QChar(0xE9), QChar(0x4E2D),
                            QChar(0x20AC), QChar(' '), QChar('7'), QChar(','), QChar(';')};
    for (int i = 0; s.size() < length; ++i)
        s += pieces[i % std::size(pieces)];
    if (withLineBreak)
        s[length / 2] = QChar('\n');
    return s;
}
}  // namespace

class BadTextTest : public QObject {
    Q_OBJECT

    static void fillEverything(Rig& r, const QString& text)
    {
        for (QWidget* w : r.form.findChildren<QWidget*>()) {
            if (w->objectName().isEmpty() || w->objectName() == "Text24" || w->objectName() == "Combo2")
                continue;
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QComboBox*>(w))
                r.type(w->objectName(), text);
        }
    }
    static void pressAll(Rig& r)
    {
        for (const char* b : kSenders) {
            r.click(b);
            for (int i = 0; i < 12 && r.form.engine().code() != Code::Idle; ++i)
                r.reply(" OK!");
            r.tick(25);
        }
    }

private slots:
    void hugeAndStrangeFieldsGoOutAsWholeLines()
    {
        for (const char* model : {"Option7", "Option9"}) {
            Rig r;
            r.openPort();
            r.w<QRadioButton>(model)->click();
            r.click("Check1");
            r.click("Check2");
            fillEverything(r, nasty(100000, false));
            pressAll(r);
            QVERIFY(r.wire().size() > 20);
            for (const QString& line : r.wire()) {
                QVERIFY(line.startsWith("SET"));
                QCOMPARE(line.indexOf('\r'), line.size() - 2);
                QCOMPARE(line.indexOf('\n'), line.size() - 1);
            }
            QVERIFY(!r.prompt.shown.contains(kLineBreakRefusal));
            QCOMPARE(r.form.engine().code(), Code::Idle);
        }
    }

    void aLineBreakAnywhereIsRefusedBeforeSending()
    {
        Rig r;
        r.openPort();
        r.w<QRadioButton>("Option9")->click();
        r.click("Check1");
        r.click("Check2");
        fillEverything(r, nasty(300, true));
        pressAll(r);
        // Only the commands that take no free text can go out.
        for (const QString& line : r.wire())
            QVERIFY2(QStringList({"SETJ0,000\r\n", "SETS0\r\n"}).contains(line) || line.startsWith("SETI") ||
                         line.startsWith("SETXD") || line.startsWith("SETS0,2") || line.startsWith("SETN") ||
                         line.startsWith("SETP0"),
                     qPrintable(line));
        QVERIFY(r.prompt.shown.count(kLineBreakRefusal) >= 15);
        QCOMPARE(r.form.engine().code(), Code::Idle);
    }

    void charactersBeyondOneByteBecomeQuestionMarksOnTheWire()
    {
        PortsFolder folder;
        Pty pty;
        QVERIFY(folder.link(4, pty.slave));
        SerialPort port;
        ScriptedPrompt prompt;
        Form2 form(&port, &prompt);
        form.Command5_Click();
        QVERIFY(port.isOpen());
        form.findChild<QLineEdit*>("Text1")->setText(QString("Caf") + QChar(0xE9) + QChar(0x4E2D) + QChar(0x20AC) +
                                                     QChar(0) + "x");
        form.findChild<QAbstractButton*>("Command10")->click();
        QCOMPARE(pty.readMaster(), QByteArray("SETCCaf\xE9??\0x\r\n", 14));
    }
};

QTEST_MAIN(BadTextTest)
#include "tst_badtext.moc"
