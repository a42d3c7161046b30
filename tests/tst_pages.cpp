// A read's messages and the receive monitor, through the window on a fake port, with the tracker's
// replies delivered by the test. The frames' rows and reads by mouse and keys: tst_hands.
#include "support/rig.h"

#include <QTest>
#include <QTextBlock>

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    // A read's messages come where the read is, each with the boxes as they are then: the unit's
    // before the interval's text (the boxes the button emptied still empty), the local time's after
    // its sign and after the off flags have zeroed their boxes. Each is shown once, and the reply is
    // examined once, whatever arrives and however long the box stays open.
    void aReadsMessagesComeAtTheirPoints_data()
    {
        QTest::addColumn<QString>("dump");
        QTest::addColumn<QStringList>("seen");   // message | Text18,Text21,Text9,Text33,Combo3,Text15,Combo4
        QTest::newRow("cut short") << "A;B;C;D;E;F;G;H;;;;;;\r\n;ord:,00000000000000007A\r\n"
            << QStringList{"Interval Error | ,,,,45%,,00", "Read Data Incomplete! | ,000,,000,45%,,00"};
        QTest::newRow("whole") << "A;B;C;D;E;F;G;H;;;;;;\r\n000150;ord:,1E000000050000006d00030010100010\r\nHP:,\r\n"
                                  "IMEI:,Ver:,,\r\n1:\r\n2:\r\n3:\r\n4:\r\n5:\r\nE0\r\nE0\r\nE0\r\n"
                                  "ed:120;0x0xxx0xxx0,35%\r\nword:1\r\n18\r\n"
                               << QStringList{"Interval Error | 000150,,,,45%,,00",
                                              "Local Time Error | 000150,000,000,000,35%,-,00"};
    }
    void aReadsMessagesComeAtTheirPoints()
    {
        QFETCH(QString, dump);
        QFETCH(QStringList, seen);
        Rig r;
        r.openPort();
        QStringList shown;
        r.prompt.whileOpen = [&](const QString& text) {
            shown << text + " | " + QStringList{r.text("Text18"), r.text("Text21"), r.text("Text9"), r.text("Text33"),
                                                r.text("Combo3"), r.text("Text15"), r.text("Combo4")}.join(",");
            if (shown.size() == 1) {
                r.port.deliver("more");
                r.tick(10);
            }
        };
        r.click("Command8");
        r.port.deliver(dump);
        r.tick(33);
        QCOMPARE(shown, seen);
        QCOMPARE(r.form.engine().code(), Code::Idle);
    }

    // The view shows what arrives as it arrives. A stream without line ends once made every append
    // lay out one ever longer line: the record stays exact, the view breaks its lines and keeps only
    // the newest of them.
    void monitorShowsWhatArrives()
    {
        Rig r;
        r.openPort();
        r.port.deliver("line one\r\n");
        r.port.deliver(QString("two") + QChar(0) + "end");
        QCOMPARE(r.form.engine().monitor(), QString("line one\r\ntwo") + QChar(0) + "end");
        QCOMPARE(r.text("Text24"), QString("line one\ntwo") + QChar(0xFFFD) + "end");
        QCOMPARE(r.w<QPlainTextEdit>("Text24")->textCursor().position(), r.text("Text24").size());
        for (int i = 0; i < 3000; ++i)
            r.port.deliver(QString(200, QChar('x')));
        QCOMPARE(r.form.engine().monitor().count('x'), 600000);
        const QTextDocument* view = r.w<QPlainTextEdit>("Text24")->document();
        QVERIFY(view->blockCount() <= 2048 && view->lastBlock().length() <= 513);
        QVERIFY(view->characterCount() <= 2048 * 513);
    }
};

QTEST_MAIN(PagesTest)
#include "tst_pages.moc"
