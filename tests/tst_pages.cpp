// The frames through the window on a fake port: what a technician types and clicks, the tracker's
// replies, and the bytes on the wire and the messages in their order. Reads fill the window from a
// dump delivered by the test.
#include "support/rig.h"

#include <QGroupBox>
#include <QTest>
#include <QTextBlock>

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    // Steps, in order: "Name" clicks it, "Name=text" types into it, "Name:=text" puts the text there
    // as a read would (the box takes no typing), "Name==text" checks what it holds, "<text" is the
    // tracker's reply (judged on the next tick), "<<" acknowledges until the transaction ends,
    // "tick" lets 100 ms pass, "cancel" answers the next question with Cancel. The port is open.
    void rows_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("messages");
        const QString closed = "PLS Open COMM Port";
        QTest::newRow("every send needs an open port")
            << QStringList{"Command5", "Command10", "Command2", "Command13", "Command4", "Command29", "Command27",
                           "Command1", "Command8", "Command6"}
            << QStringList{} << QStringList{closed, closed, closed, closed, closed, closed, closed, closed, closed};
        QTest::newRow("empty APN: Cancel, then OK") << QStringList{"cancel", "Command10", "Command10", "< OK!"}
            << QStringList{"SETC"} << QStringList{"? APN is NULL", "? APN is NULL", "Setting OK!"};
        QTest::newRow("each row's send replaces the last")
            << QStringList{"Text1=my apn", "Text3=10.0.0.7", "Text5=5001", "Command21", "Text4=report.example.org/gps",
                           "Text31=8080", "Command22", "Text21=045", "Option3", "Command23", "Command12", "< OK!"}
            << QStringList{"SETCmy apn,10.0.0.7:5001", "SETRreport.example.org/gps;8080", "SETM1,045H", "SETO,"}
            << QStringList{"APN Name And APN Password is NULL", "Setting OK!"};
        QTest::newRow("GPRS WRITE stops at a bad interval")
            << QStringList{"Text21=30", "Command2", "< OK!", "< OK!", "< OK!", "tick"}
            << QStringList{"SETC", "SETO,", "SETR;"} << QStringList{"PLS Input 3 Digits", "Out-Time !"};
        QTest::newRow("a refused WRITE leaves nothing pending") << QStringList{"Text3=1.2.3.4", "Command2", "< OK!"}
            << QStringList{} << QStringList{"PLS Input Port"};
        QTest::newRow("the slot digit must match")
            << QStringList{"Command15", "<3TEL OK!", "Text7=13800000000", "Command14", "<1TEL OK!"}
            << QStringList{"SETA3,D", "SETA2,13800000000"}
            << QStringList{"Delete The Telephone Number", "Setting OK!", "Setting Error!"};
        QTest::newRow("telephone WRITE: five slots, not the ones a read fills")
            << QStringList{"Text7=13800000000", "Text27:=666", "Command4", "<1TEL OK!", "<2TEL OK!", "<3TEL OK!",
                           "<4TEL OK!", "<5TEL OK!"}
            << QStringList{"SETA1,D", "SETA2,13800000000", "SETA3,D", "SETA4,D", "SETA5,D"}
            << QStringList{"Setting OK!"};
        QTest::newRow("a line end after the token breaks the chain")
            << QStringList{"Command4", "<1TEL OK!", "<2TEL OK!", "<3TEL OK!\r\n"}
            << QStringList{"SETA1,D", "SETA2,D", "SETA3,D"} << QStringList{"Setting Error!"};
        QTest::newRow("geo-fences")
            << QStringList{"Text12=ignored", "Command31", "Check_d1_on", "Check_d1_in", "Command29",
                           "Text10=22.54,114.05,500", "Command29", "< OK!"}
            << QStringList{"SETI3,0,1#", "SETI1,1,0,22.54,114.05,500"}
            << QStringList{"PLS Input The Coordinate for GEO-FENCE", "Setting OK!"};
        QTest::newRow("OTHER-SET rows on Harrier")
            << QStringList{"Option9", "Command27", "Command26", "Command25", "Command40", "Command28", "Text18==000000"}
            << QStringList{"SETN1,45", "SETJ0,000", "SETL+00:00", "SETP0,010", "SETQ000000"}
            << QStringList{"Close Shift Detection"};
        QTest::newRow("OTHER-SET refusals")
            << QStringList{"Text9=", "Command26", "Text9=251", "Command26", "Combo3=300%", "Command27"}
            << QStringList{"SETJ0,000"}
            << QStringList{"Close Speeding Alarm", "The Input Value Can't Be Greater Than 250",
                           "PLS Input A Level From 0 To 255"};
        QTest::newRow("OTHER WRITE on Petrel") << QStringList{"Text9=120", "Text33=015", "Command1", "<<"}
            << QStringList{"SETN1,45", "SETJ1,120", "SETL+00:00", "SETP1,015", "SETQ000000"}
            << QStringList{"Setting OK!"};
        QTest::newRow("OTHER WRITE on Harrier, fuel and password")
            << QStringList{"Option9", "Check1", "Check2", "Text16=0,100,100,4000", "Text32=2", "Text17=654321",
                           "Text18=000123", "Combo3=12.5%", "Command1", "<<"}
            << QStringList{"SETN1,12.5", "SETJ0,000", "SETL+00:00", "SETSO0,100,100,4000", "SETS2", "SETP0,010",
                           "SETH654321", "SETQ000123"}
            << QStringList{"Setting OK!"};
        QTest::newRow("OTHER WRITE on Harrier") << QStringList{"Option9", "Command1", "<<"}
            << QStringList{"SETN1,45", "SETJ0,000", "SETL+00:00", "SETS0", "SETP0,010", "SETQ000000"}
            << QStringList{"Setting OK!"};
        QTest::newRow("OTHER WRITE on Falcon") << QStringList{"Option8", "Command1", "<<"}
            << QStringList{"SETN1,45", "SETJ0,000", "SETL+00:00", "SETP0,010", "SETQ000000"}
            << QStringList{"Setting OK!"};
        QTest::newRow("OTHER WRITE stopped by the speed") << QStringList{"Text9=12", "Command1", "< OK!", "tick"}
            << QStringList{"SETN1,45"} << QStringList{"PLS Reinput,It shouold be 3 digits", "Out-Time !"};
        QTest::newRow("model changed before the line-function reply")
            << QStringList{"Option7", "Command36", "Option8", "< OK!", "Text24==", "Command36", "Command53"}
            << QStringList{"SETS0,2,0"} << QStringList{"This Model Has No Line Function Command"};
        QTest::newRow("special functions on Harrier")
            << QStringList{"Option9", "Command41", "Command42", "Command43", "Command44", "Command50", "Command45",
                           "Command46", "Command52", "Command47", "Command48", "Command49", "Command51", "<ERR"}
            << QStringList{"SETT1", "SETT0", "SETT3", "SETT2", "SETT4", "SETU2,", "SETU", "SETU", "SETXD"}
            << QStringList{"Setting Error!"};
        const QString sure = "? Are you sure you want to revert all the data?";
        QTest::newRow("initialize asks first; RESET! after three characters is not reported")
            << QStringList{"Text1=apn", "Text27:=keep", "<old", "cancel", "Command6", "Text1==apn", "Text24==old",
                           "Command6", "Text1==", "Text27==keep", "Combo3==45%", "<abcRESET!", "Command6", "<RESET!",
                           "Command6", "<no"}
            << QStringList{"SET10", "SET10", "SET10"}
            << QStringList{sure, sure, sure, "Revert All The Data!", sure, "Revert All The Data!"};
    }
    void rows()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, messages);
        ShownRig r;
        Hands& h = r.hands;
        h.click("Command5");
        for (const QString& step : steps) {
            if (step == "<<") {
                for (int guard = 0; guard < 20 && r.form.engine().code() != Code::Idle; ++guard)
                    r.reply(" OK!");
            } else if (step.startsWith('<')) {
                r.reply(step.mid(1));
            } else if (step == "tick") {
                r.tick();
            } else if (step == "cancel") {
                r.prompt.answers << false;
            } else if (step.contains("==")) {
                QCOMPARE(step.section("==", 0, 0) + "==" + r.text(step.section("==", 0, 0)), step);
            } else if (step.contains(":=")) {
                r.type(step.section(":=", 0, 0), step.section(":=", 1));
            } else if (step.contains('=')) {
                h.type(step.section('=', 0, 0), step.section('=', 1));
            } else {
                h.click(step);
            }
        }
        for (QString& line : lines)
            line += "\r\n";
        QCOMPARE(r.wire(), lines);
        QCOMPARE(r.prompt.shown.join(" | "), messages.join(" | "));
    }

    void readAllFillsTheWindowFromTheExample()
    {
        Rig r;
        r.openPort();
        r.type("Text16", "fuel");
        r.type("Text32", "4");
        r.click("Command8");
        QCOMPARE(r.wire(), QStringList{"SETG\r\n"});
        QVERIFY(r.text("Text16").isEmpty() && r.text("Text9").isEmpty() && r.text("Text15").isEmpty());
        const QString dump =
            "A1001;B1002;C;D;E;F;G;H1008;apn;;;10.0.0.1;9000;\r\n000150;ord:,1E000000050000004D00030010100010\r\n"
            "HP:abc,80\r\nIMEI:350000000000001,Ver:1.0,2.3,\r\n1:P1\r\n2:P2\r\n3:P3\r\n4:\r\n5:\r\nE5\r\nE1\r\nE7\r\n"
            "ed:8;1x1xxx1xxx1,20%\r\nword:\r\nA8\r\n";
        r.port.deliver(dump.left(100));
        r.tick(2);
        r.port.deliver(dump.mid(100));
        r.tick(3);
        QVERIFY(r.prompt.shown.isEmpty());
        QCOMPARE(QStringList({r.text("Text6"), r.text("Text21"), r.text("Check_d1_on"), r.text("Check_d2_in"),
                              r.text("Combo3"), r.text("Combo4"), r.text("Text16")}),
                 (QStringList{"1001", "030", "ON", "IN", "20%", "15", ""}));   // Text16: never filled by a read
        QVERIFY(r.on("Option2") && r.on("Option24") && r.on("Option21"));
        QVERIFY(r.on("Check_d1_on") && !r.on("Check_d2_on") && r.on("Check_d2_in"));
    }

    void readAllSelectsArmOptionsWithTheirEffectsOnCondor()
    {
        Rig r;
        r.openPort();
        r.w<QAbstractButton>("Option7")->click();
        r.click("Command8");
        r.port.deliver("A;B;C;D;E;F;G;H;;;;;;\r\n;ord:,00000000000000005300000000000000\r\nHP:,\r\nIMEI:,Ver:,,\r\n"
                       "1:\r\n2:\r\n3:\r\n4:\r\n5:\r\nE0\r\nE0\r\nE0\r\n01\r\n60\r\ned:0;0x0xxx0xxx0,00%\r\nword:\r\nA8\r\n");
        r.tick(3);
        QCOMPARE(r.prompt.shown, QStringList());
        QVERIFY(r.on("Option18") && r.on("Option15") && r.w("Frame9")->isHidden());
        QCOMPARE(r.w<QGroupBox>("Frame8")->title(), QString("Pulse Polarity Select"));
        QCOMPARE(r.text("Option17"), QString("NEG"));
        QCOMPARE(r.text("Text21"), QString("000"));
        QVERIFY(!r.on("Option1") && !r.on("Option2") && !r.on("Option3"));
    }

    void aReadMessageIsShownOnceAndTheReplyExaminedOnce()
    {
        Rig r;
        r.openPort();
        int examined = 0;
        r.prompt.whileOpen = [&](const QString& text) {
            if (text == "Interval Error") {
                ++examined;
                r.port.deliver("more");
                r.tick(10);
            }
        };
        r.click("Command8");
        r.port.deliver("A;B;C;D;E;F;G;H;;;;;;\r\n;ord:,00000000000000007A\r\n");
        r.tick(3);
        QCOMPARE(r.prompt.shown, (QStringList{"Interval Error", "Read Data Incomplete!"}));
        QCOMPARE(examined, 1);
        r.tick(30);
        QCOMPARE(r.prompt.shown.size(), 2);
    }

    void monitorShowsWhatArrives()
    {
        Rig r;
        r.openPort();
        r.port.deliver("line one\r\n");
        r.port.deliver(QString("two") + QChar(0) + "end");
        QCOMPARE(r.form.engine().monitor(), QString("line one\r\ntwo") + QChar(0) + "end");
        QCOMPARE(r.text("Text24"), QString("line one\ntwo") + QChar(0xFFFD) + "end");
        QCOMPARE(r.w<QPlainTextEdit>("Text24")->textCursor().position(), r.text("Text24").size());
        // A stream without line ends: the record stays exact, the view breaks its lines and keeps
        // only the newest of them.
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
