// Bad text everywhere: huge fields, control characters and characters beyond Latin-1 in every
// input box. Every command still goes out as one whole line, line breaks are refused, nothing
// crashes. (How such characters reach the real wire: tst_port.)
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
    void hugeAndStrangeFieldsGoOutAsWholeLines_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("lineBreak");
        QTest::newRow("Condor, 100000 characters") << "Option7" << 100000 << false;
        QTest::newRow("Harrier, 100000 characters") << "Option9" << 100000 << false;
        QTest::newRow("Harrier, a line break") << "Option9" << 300 << true;
    }
    void hugeAndStrangeFieldsGoOutAsWholeLines()
    {
        QFETCH(QString, model);
        QFETCH(int, length);
        QFETCH(bool, lineBreak);
        Rig r;
        r.openPort();
        r.w<QRadioButton>(model)->click();
        r.click("Check1");
        r.click("Check2");
        fillEverything(r, nasty(length, lineBreak));
        pressAll(r);
        for (const QString& line : r.wire()) {
            QVERIFY(line.startsWith("SET"));
            QCOMPARE(line.indexOf('\r'), line.size() - 2);
            QCOMPARE(line.indexOf('\n'), line.size() - 1);
            // With a line break in every box, only the commands that take no free text go out.
            QVERIFY2(!lineBreak || QStringList({"SETJ0,000\r\n", "SETS0\r\n"}).contains(line)
                         || line.startsWith("SETI") || line.startsWith("SETXD") || line.startsWith("SETS0,2")
                         || line.startsWith("SETN") || line.startsWith("SETP0"),
                     qPrintable(line));
        }
        const qsizetype refused = r.prompt.shown.count("PLS Remove The Line Break From The Input");
        QVERIFY2(lineBreak ? refused >= 15 : refused == 0 && r.wire().size() > 20, qPrintable(r.prompt.shown.join('|')));
        QCOMPARE(r.form.engine().code(), Code::Idle);
    }
};

QTEST_MAIN(BadTextTest)
#include "tst_badtext.moc"
