// An installer's round trip: read a tracker into the window, save the profile, let the tracker
// change, write the profile back with korvane-cli, and open it in a fresh window.
#include "bulk/profile.h"
#include "pages/form2.h"
#include "pages/main_window.h"
#include "sim/pty_tracker.h"
#include "support/chooser.h"
#include "support/dialogs.h"
#include "support/hands.h"
#include "support/pty.h"
#include "support/snapshot.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class RoundTripTest : public QObject {
    Q_OBJECT
private slots:
    void readSaveWriteWithTheToolOpenInAFreshWindow()
    {
        PortsFolder folder;
        sim::PtyTracker tracker;
        QVERIFY(tracker.start());
        QVERIFY(tracker.linkAs(4));
        bulk::Params& p = tracker.tracker().params();
        p.gprs->apn = "fleet.apn";
        p.gprs->serverIp = "198.51.100.20";
        p.gprs->serverPort = "7070";
        p.telephones->number[0] = "+4915550001";
        p.other->overSpeed = "095";
        p.other->overSpeedOn = true;
        p.fences->fence[1] = {true, bulk::FenceSide::In, "48.1,11.5,250"};
        const bulk::Params saved = p;

        QTemporaryDir dir;
        const QString file = dir.filePath("fleet.json");
        DialogAnswerer boxes;
        StubChooser chooser;
        QStringList shown;
        {
            MainWindow window(new Form2(), &chooser);
            Hands hands(&window);
            QVERIFY(hands.show());
            hands.click("Option8");                  // Falcon
            hands.click("Command5");
            hands.click("Command8");
            QVERIFY(QTest::qWaitFor([&] { return !window.form().engine().timer().isActive(); }, 3000));
            QCOMPARE(controlText(hands.at("Text1")), QString("fleet.apn"));
            hands.click("Check2");                   // the password goes into the profile too
            chooser.next = file;
            hands.key(Qt::Key_S, Qt::ControlModifier);
            QVERIFY(QFile::exists(file));
            hands.click("Command5");                 // the tool needs the port to itself
            shown = snapshot(&window.form());
        }

        p.gprs->apn = "changed";
        p.telephones->number[0] = "";
        p.other->overSpeedOn = false;
        p.fences->fence[1] = {};
        QProcess cli;
        cli.start(KORVANE_CLI_PATH, {"write", "COM4", file});
        QVERIFY(QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 30000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        QCOMPARE(bulk::profileOf(bulk::Model::Falcon, p).params.gprs,
                 bulk::profileOf(bulk::Model::Falcon, saved).params.gprs);
        QCOMPARE(*p.telephones->number[0], QString("+4915550001"));
        QCOMPARE(*p.other->overSpeed, QString("095"));
        QCOMPARE(p.fences->fence[1].coordinate, std::optional<QString>("48.1,11.5,250"));

        MainWindow fresh(new Form2(), &chooser);
        Hands hands(&fresh);
        QVERIFY(hands.show());
        chooser.next = file;
        hands.key(Qt::Key_O, Qt::ControlModifier);
        // Everything the read showed, but what a Falcon profile leaves out: the unit's own IMEI and
        // versions, and the test frame's options, which only Harrier offers.
        const QRegularExpression kept("^(?!Text2:|Text30:|Text23:|Option2[1-8]:)");
        QCOMPARE(snapshot(&fresh.form()).filter(kept), shown.filter(kept));
        QVERIFY(boxes.texts.isEmpty());
    }
};

QTEST_MAIN(RoundTripTest)
#include "tst_roundtrip.moc"
