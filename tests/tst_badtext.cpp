// Bad text everywhere: huge fields, control characters and characters beyond Latin-1 in every
// input box. Every command still goes out as one whole line, line breaks are refused, nothing
// crashes. (How such characters reach the real wire: tst_port.)
#include "support/rig.h"

#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

class BadTextTest : public QObject {
    Q_OBJECT

private slots:
    void hugeAndStrangeFieldsGoOutAsWholeLines_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("lineBreak");
        QTest::newRow("100000 characters") << 100000 << false;
        QTest::newRow("a line break") << 300 << true;
    }
    void hugeAndStrangeFieldsGoOutAsWholeLines()
    {
        QFETCH(int, length);
        QFETCH(bool, lineBreak);
        const QChar pieces[] = {QChar(0), QChar(0x1B), QChar('\t'), QChar(0x7F), QChar(0xE9), QChar(0x4E2D),
                                QChar(0x20AC), QChar(' '), QChar('7'), QChar(','), QChar(';')};
        QString nasty;
        for (int i = 0; nasty.size() < length; ++i)
            nasty += pieces[i % std::size(pieces)];
        if (lineBreak)
            nasty[length / 2] = QChar('\n');
        Rig r;
        r.openPort();
        r.w<QRadioButton>("Option9")->click();      // Harrier: every free-text box usable
        r.click("Check1");
        r.click("Check2");
        for (QWidget* w : r.form.findChildren<QWidget*>())
            if (w->objectName() != "Text24" && w->objectName() != "Combo2")
                Rig::put(w, nasty);                  // every box; other controls are left alone
        // Every usable button but the port, the reads and "Initialize ALL"; chains acknowledged.
        const QStringList notSending = {"Command5", "Command3", "Command8", "Command6"};
        for (QPushButton* b : r.form.findChildren<QPushButton*>()) {
            if (!b->isEnabled() || !b->isVisibleTo(&r.form) || notSending.contains(b->objectName()))
                continue;
            b->click();
            for (int i = 0; i < 12 && r.form.engine().code() != Code::Idle; ++i)
                r.reply(" OK!");
            r.tick(25);
        }
        // One whole line each; with a line break in every box, only the commands that take no free
        // text go out.
        static const QRegularExpression oneLine("^SET[^\r\n]*\r\n\\z");
        static const QRegularExpression fixed("^SET(J0,000\r|S0\r|S0,2|I|XD|N|P0|T|U)");
        for (const QString& line : r.wire())
            QVERIFY2(oneLine.match(line).hasMatch() && (!lineBreak || fixed.match(line).hasMatch()), qPrintable(line));
        const qsizetype refused = r.prompt.shown.count("PLS Remove The Line Break From The Input");
        QVERIFY2(lineBreak ? refused >= 15 : refused == 0 && r.wire().size() > 20, qPrintable(r.prompt.shown.join('|')));
        QCOMPARE(r.form.engine().code(), Code::Idle);
    }
};

QTEST_MAIN(BadTextTest)
#include "tst_badtext.moc"
