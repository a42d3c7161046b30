// The frames through the window: clicks, scripted answers to the boxes, the bytes on the fake
// wire and the messages in their order.
#include "support/rig.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>

class PagesTest : public QObject {
    Q_OBJECT

    static QStringList lines(std::initializer_list<const char*> l)
    {
        QStringList out;
        for (const char* s : l) out << QString(s) + "\r\n";
        return out;
    }
    // Answer every command of a chain with " OK!" until the watcher stops sending.
    static void acknowledgeAll(Rig& r)
    {
        for (int guard = 0; guard < 20 && r.form.engine().code() != Code::Idle; ++guard)
            r.reply(" OK!");
    }

private slots:
    void everySendNeedsAnOpenPort()
    {
        Rig r;
        for (const char* b : {"Command10", "Command2", "Command13", "Command4", "Command29", "Command27",
                              "Command1", "Command8", "Command6"}) {
            r.prompt.shown.clear();
            r.click(b);
            QCOMPARE(r.prompt.shown, QStringList{"PLS Open COMM Port"});
        }
        QVERIFY(r.wire().isEmpty());
    }

    void gprsRowsSendWhatTheBoxesHold()
    {
        Rig r;
        r.openPort();
        r.prompt.answers = {false};
        r.click("Command10");                       // APN empty, Cancel
        QVERIFY(r.wire().isEmpty());
        QVERIFY(r.text("Text24").isEmpty());
        r.click("Command10");                       // APN empty, OK
        QCOMPARE(r.lastLine(), QString("SETC\r\n"));
        r.reply(" OK!");
        QCOMPARE(r.prompt.shown, (QStringList{"? APN is NULL", "? APN is NULL", "Setting OK!"}));
        r.clearLog();
        r.type("Text1", "my apn");
        r.type("Text3", "10.0.0.7");
        r.type("Text5", "5001");
        r.click("Command21");
        r.type("Text4", "report.example.org/gps");
        r.type("Text31", "8080");
        r.click("Command22");
        r.type("Text21", "045");
        r.w<QRadioButton>("Option3")->click();
        r.click("Command23");
        r.click("Command12");
        QCOMPARE(r.wire(), lines({"SETCmy apn,10.0.0.7:5001", "SETRreport.example.org/gps;8080", "SETM1,045H",
                                  "SETO,"}));
        QCOMPARE(r.prompt.shown, QStringList{"APN Name And APN Password is NULL"});
        QCOMPARE(r.form.engine().code(), Code::ApnUser);   // each new send replaced the last
    }

    void gprsWriteChainStopsAtABadInterval()
    {
        Rig r;
        r.openPort();
        r.type("Text21", "30");
        r.click("Command2");
        r.reply(" OK!");
        r.reply(" OK!");
        r.reply(" OK!");
        QCOMPARE(r.prompt.shown, QStringList{"PLS Input 3 Digits"});
        r.tick();
        QCOMPARE(r.prompt.shown, (QStringList{"PLS Input 3 Digits", "Out-Time !"}));
        QCOMPARE(r.wire(), lines({"SETC", "SETO,", "SETR;"}));
        QCOMPARE(r.form.engine().code(), Code::Idle);
    }

    void aRefusedWriteLeavesNothingPending()
    {
        Rig r;
        r.openPort();
        r.type("Text3", "1.2.3.4");
        r.click("Command2");
        QCOMPARE(r.prompt.shown, QStringList{"PLS Input Port"});
        QVERIFY(r.wire().isEmpty());
        QCOMPARE(r.form.engine().code(), Code::Idle);
        r.port.deliver(" OK!");                      // stray text later fires nothing
        r.tick();
        QVERIFY(r.wire().isEmpty());
        QCOMPARE(r.prompt.shown.size(), 1);
    }

    void telephoneSlotsAndChain()
    {
        Rig r;
        r.openPort();
        r.click("Command15");
        QCOMPARE(r.lastLine(), QString("SETA3,D\r\n"));
        r.reply("3TEL OK!");
        r.type("Text7", "13800000000");
        r.click("Command14");
        r.reply("1TEL OK!");                         // the digit must match the slot
        QCOMPARE(r.prompt.shown, (QStringList{"Delete The Telephone Number", "Setting OK!", "Setting Error!"}));
        r.clearLog();
        r.type("Text27", "666");                     // filled by a read; not part of the chain
        r.click("Command4");
        for (int slot = 1; slot <= 5; ++slot)
            r.reply(QString("%1TEL OK!").arg(slot));
        QCOMPARE(r.wire(), lines({"SETA1,D", "SETA2,13800000000", "SETA3,D", "SETA4,D", "SETA5,D"}));
        QCOMPARE(r.prompt.shown, QStringList{"Setting OK!"});
        r.clearLog();
        r.click("Command4");
        r.reply("1TEL OK!");
        r.reply("2TEL OK!");
        r.reply("3TEL OK!\r\n");
        QCOMPARE(r.wire().size(), 3);
        QCOMPARE(r.prompt.shown, QStringList{"Setting Error!"});
    }

    void geoFenceApply()
    {
        Rig r;
        r.openPort();
        r.type("Text12", "ignored");
        r.click("Command31");
        QCOMPARE(r.lastLine(), QString("SETI3,0,1#\r\n"));
        r.w<QCheckBox>("Check_d1_on")->click();
        r.w<QCheckBox>("Check_d1_in")->click();
        r.click("Command29");
        QCOMPARE(r.prompt.shown, QStringList{"PLS Input The Coordinate for GEO-FENCE"});
        r.type("Text10", "22.54,114.05,500");
        r.click("Command29");
        QCOMPARE(r.lastLine(), QString("SETI1,1,0,22.54,114.05,500\r\n"));
        r.reply(" OK!");
        QCOMPARE(r.prompt.shown.last(), QString("Setting OK!"));
        r.type("Text10", "22.5\n114.0");             // a pasted line break would split the command
        r.click("Command29");
        QCOMPARE(r.prompt.shown.last(), kLineBreakRefusal);
        QCOMPARE(r.wire().size(), 2);
    }

    void otherSettingsRows()
    {
        Rig r;
        r.openPort();
        r.w<QRadioButton>("Option9")->click();      // every row usable
        r.click("Command27");
        r.click("Command26");
        r.click("Command25");
        r.click("Command40");
        r.click("Command28");
        QCOMPARE(r.wire(), lines({"SETN1,45", "SETJ0,000", "SETL+00:00", "SETP0,010", "SETQ000000"}));
        QCOMPARE(r.text("Text18"), QString("000000"));
        QCOMPARE(r.prompt.shown, QStringList{"Close Shift Detection"});
        r.clearLog();
        r.type("Text9", "");
        r.click("Command26");
        r.type("Text9", "251");
        r.click("Command26");
        r.type("Combo3", "300%");
        r.click("Command27");
        QCOMPARE(r.wire(), lines({"SETJ0,000"}));
        QCOMPARE(r.prompt.shown, (QStringList{"Close Speeding Alarm", "The Input Value Can't Be Greater Than 250",
                                              "PLS Input A Level From 0 To 255"}));
    }

    void otherWriteChainPetrelPlain()
    {
        Rig r;
        r.openPort();
        r.type("Text9", "120");
        r.type("Text33", "015");
        r.click("Command1");
        acknowledgeAll(r);
        QCOMPARE(r.wire(), lines({"SETN1,45", "SETJ1,120", "SETL+00:00", "SETP1,015", "SETQ000000"}));
        QCOMPARE(r.prompt.shown, QStringList{"Setting OK!"});
    }

    void otherWriteChainHarrierWithBothChecks()
    {
        Rig r;
        r.openPort();
        r.w<QRadioButton>("Option9")->click();
        r.w<QCheckBox>("Check1")->click();
        r.w<QCheckBox>("Check2")->click();
        r.type("Text16", "0,100,100,4000");
        r.type("Text32", "2");
        r.type("Text17", "654321");
        r.type("Text18", "000123");
        r.type("Combo3", "12.5%");
        r.click("Command1");
        acknowledgeAll(r);
        QCOMPARE(r.wire(), lines({"SETN1,12.5", "SETJ0,000", "SETL+00:00", "SETSO0,100,100,4000", "SETS2",
                                  "SETP0,010", "SETH654321", "SETQ000123"}));
        QCOMPARE(r.prompt.shown, QStringList{"Setting OK!"});
    }

    void otherWriteChainFalconAndHarrierWithoutFuel()
    {
        Rig falcon;
        falcon.openPort();
        falcon.w<QRadioButton>("Option8")->click();
        falcon.click("Command1");
        acknowledgeAll(falcon);
        QCOMPARE(falcon.wire(), lines({"SETN1,45", "SETJ0,000", "SETL+00:00", "SETP0,010", "SETQ000000"}));
        Rig harrier;
        harrier.openPort();
        harrier.w<QRadioButton>("Option9")->click();
        harrier.click("Command1");
        acknowledgeAll(harrier);
        QCOMPARE(harrier.wire(), lines({"SETN1,45", "SETJ0,000", "SETL+00:00", "SETS0", "SETP0,010", "SETQ000000"}));
    }

    void otherWriteChainStoppedBySpeed()
    {
        Rig r;
        r.openPort();
        r.type("Text9", "12");
        r.click("Command1");
        r.reply(" OK!");
        r.tick();
        QCOMPARE(r.prompt.shown, (QStringList{"PLS Reinput,It shouold be 3 digits", "Out-Time !"}));
        QCOMPARE(r.wire(), lines({"SETN1,45"}));
    }

    void portFunctions()
    {
        Rig r;
        r.openPort();
        r.w<QRadioButton>("Option7")->click();
        r.w<QRadioButton>("Option4")->click();
        r.click("Command34");
        r.w<QRadioButton>("Option13")->click();
        r.w<QRadioButton>("Option16")->click();
        r.click("Command35");
        QCOMPARE(r.wire(), lines({"SETXD1B2F2", "SETS1,0,1"}));
        r.clearLog();
        r.w<QRadioButton>("Option14")->click();
        r.w<QRadioButton>("Option17")->click();
        r.click("Command36");                        // Condor: arm, then the line function
        r.reply(" OK!");
        r.reply(" OK!");
        QCOMPARE(r.wire(), lines({"SETS0,2,0", "SETXD2B0F1"}));
        QCOMPARE(r.prompt.shown, QStringList{"Setting OK!"});
        r.clearLog();
        r.click("Command36");
        r.w<QRadioButton>("Option8")->click();       // model changed before the reply
        r.reply(" OK!");
        QCOMPARE(r.wire().size(), 1);
        QVERIFY(r.prompt.shown.isEmpty());
        QVERIFY(r.text("Text24").isEmpty());
        QCOMPARE(r.form.engine().code(), Code::Idle);
        r.click("Command36");                        // Falcon: nothing to send for it
        QCOMPARE(r.wire().size(), 1);
        QCOMPARE(r.prompt.shown, QStringList{"This Model Has No Line Function Command"});
        r.click("Command53");
        QCOMPARE(r.wire().size(), 1);
    }

    void specialFunctions()
    {
        Rig r;
        r.openPort();
        r.w<QRadioButton>("Option9")->click();
        for (const char* b : {"Command41", "Command42", "Command43", "Command44", "Command50", "Command47",
                              "Command48", "Command49", "Command51", "Command45", "Command46", "Command52"})
            r.click(b);
        QCOMPARE(r.wire(), lines({"SETT1", "SETT0", "SETT3", "SETT2", "SETT4", "SETU2,", "SETU", "SETU", "SETXD"}));
        r.clearLog();
        for (const char* o : {"Option22", "Option25", "Option28", "Option23"})
            r.w<QRadioButton>(o)->click();
        for (const char* b : {"Command47", "Command48", "Command49", "Command51"})
            r.click(b);
        QCOMPARE(r.wire(), lines({"SETU2,0", "SETU1", "SETU4", "SETXD1"}));
        r.reply("ERR");
        QCOMPARE(r.prompt.shown, QStringList{"Setting Error!"});
    }

    void initializeAsksFirst()
    {
        Rig r;
        r.openPort();
        r.type("Text1", "apn");
        r.type("Text27", "keep");
        r.port.deliver("old");
        r.tick();
        r.prompt.answers = {false};
        const int discards = r.port.discards;
        r.click("Command6");
        QCOMPARE(r.port.discards, discards + 2);     // before the question
        QCOMPARE(r.text("Text1"), QString("apn"));
        QCOMPARE(r.text("Text24"), QString("old"));
        QVERIFY(r.wire().isEmpty());
        r.click("Command6");
        QCOMPARE(r.wire(), lines({"SET10"}));
        QVERIFY(r.text("Text1").isEmpty());
        QCOMPARE(r.text("Text27"), QString("keep"));
        QCOMPARE(r.text("Combo3"), QString("45%"));
        r.reply("abcRESET!");
        QCOMPARE(r.prompt.shown.last(), QString("? Are you sure you want to revert all the data?"));
        r.click("Command6");
        r.reply("RESET!");
        QCOMPARE(r.prompt.shown.last(), QString("Revert All The Data!"));
        r.click("Command6");
        r.reply("no");
        QCOMPARE(r.prompt.shown.last(), QString("Revert All The Data!"));
    }

    void readAllFillsTheWindowFromTheExample()
    {
        Rig r;
        r.openPort();
        r.type("Text16", "fuel");
        r.type("Text32", "4");
        r.click("Command8");
        QCOMPARE(r.lastLine(), QString("SETG\r\n"));
        QVERIFY(r.text("Text16").isEmpty() && r.text("Text9").isEmpty() && r.text("Text15").isEmpty());
        const QString dump =
            "A1001;B1002;C;D;E;F;G;H1008;apn;;;10.0.0.1;9000;\r\n000150;ord:,1E000000050000004D00030010100010\r\n"
            "HP:abc,80\r\nIMEI:350000000000001,Ver:1.0,2.3,\r\n1:P1\r\n2:P2\r\n3:P3\r\n4:\r\n5:\r\nE5\r\nE1\r\nE7\r\n"
            "ed:8;1x1xxx1xxx1,20%\r\nword:\r\nA8\r\n";
        r.port.deliver(dump.left(100));
        r.tick(2);
        r.port.deliver(dump.mid(100));
        r.tick(2);
        QCOMPARE(r.form.engine().code(), Code::ReadAll);
        r.tick();
        QCOMPARE(r.form.engine().code(), Code::Idle);
        QVERIFY(r.prompt.shown.isEmpty());
        QCOMPARE(r.text("Text6"), QString("1001"));
        QCOMPARE(r.text("Text21"), QString("030"));
        QVERIFY(r.on("Option2") && r.on("Option24") && r.on("Option21"));
        QCOMPARE(r.text("Check_d1_on"), QString("ON"));
        QVERIFY(r.on("Check_d1_on") && !r.on("Check_d2_on"));
        QCOMPARE(r.text("Check_d2_in"), QString("IN"));
        QVERIFY(r.on("Check_d2_in"));
        QCOMPARE(r.text("Combo3"), QString("20%"));
        QCOMPARE(r.text("Combo4"), QString("15"));
        QVERIFY(r.text("Text16").isEmpty());         // emptied, never filled by a read
    }

    void readAllSelectsArmOptionsWithTheirEffectsOnCondor()
    {
        Rig r;
        r.openPort();
        r.w<QRadioButton>("Option7")->click();
        r.click("Command3");                         // the test frame is hidden on Condor
        QVERIFY(r.wire().isEmpty());
        r.click("Command8");
        r.port.deliver("A;B;C;D;E;F;G;H;;;;;;\r\n;ord:,00000000000000005300000000000000\r\nHP:,\r\nIMEI:,Ver:,,\r\n1:\r\n2:\r\n3:\r\n4:\r\n5:\r\nE0\r\nE0\r\nE0\r\n01\r\n60\r\n"
                "ed:0;0x0xxx0xxx0,00%\r\nword:\r\nA8\r\n");
        r.tick(3);
        QCOMPARE(r.prompt.shown, QStringList());
        QVERIFY(r.on("Option18"));
        QVERIFY(r.on("Option15"));
        QVERIFY(r.w("Frame9")->isHidden());
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
        QCOMPARE(r.form.engine().code(), Code::Idle);
    }

    void monitorShowsWhatArrivesAndFailureNumbers()
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
        QCOMPARE(r.form.engine().monitor().count('x'), 600000 + 0);
        auto* view = r.w<QPlainTextEdit>("Text24");
        QVERIFY(view->document()->blockCount() <= 2048);
        QVERIFY(view->document()->lastBlock().length() <= 513);
        QVERIFY(view->document()->characterCount() <= 2048 * 513);
    }
};

QTEST_MAIN(PagesTest)
#include "tst_pages.moc"
