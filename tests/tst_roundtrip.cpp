// An installer's round trip: read a tracker into the window and save the profile (what korvane-cli
// reads of the same tracker), let the tracker change, write the profile back with korvane-cli, and
// open it in a fresh window.
#include "bulk/profile.h"
#include "pages/form2.h"
#include "pages/main_window.h"
#include "support/chooser.h"
#include "support/dialogs.h"
#include "support/hands.h"
#include "support/live.h"
#include "support/snapshot.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// korvane-cli to its end, the event loop running so that the simulator in this process answers:
// what it printed, or why it failed.
QByteArray cli(const QStringList& args)
{
    QProcess p;
    p.start(KORVANE_CLI_PATH, args);
    const bool done = QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, 30000);
    if (done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return p.readAllStandardOutput();
    return "korvane-cli " + args.join(' ').toUtf8() + " failed: " + p.readAllStandardError();
}

// The tracker as the tool reads it for a Falcon, one "key=value" line a field.
QStringList readByTool()
{
    const QByteArray out = cli({"read", "COM4", "--model", "Falcon"});
    const bulk::ProfileRead read = bulk::parseProfile(out);
    return read.profile ? bulk::describe(read.profile->params) : QStringList{QString::fromUtf8(out)};
}

}   // namespace

class RoundTripTest : public QObject {
    Q_OBJECT
private slots:
    void readSaveWriteWithTheToolOpenInAFreshWindow()
    {
        TrackerOnCom4 t;
        QVERIFY(t.up());
        bulk::Params& p = t.sim.tracker().params();
        p.gprs->apn = "fleet.apn";
        p.telephones->number[0] = "+4915550001";
        p.other->overSpeed = "095";
        p.other->overSpeedOn = true;
        p.fences->fence[1] = {true, bulk::FenceSide::In, "48.1,11.5,250"};
        // Alarms off: shown and saved as "000" and "00%", as the tool reads them.
        p.gprs->intervalOn = p.other->lowBatteryOn = p.other->displacementOn = false;

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
            hands.click("Check2");                   // the password goes into the profile too
            chooser.next = file;
            hands.key(Qt::Key_S, Qt::ControlModifier);
            QVERIFY(QFile::exists(file));
            hands.click("Command5");                 // the tool needs the port to itself
            shown = snapshot(&window.form());
        }
        // The window saved what the tool reads of the same tracker, but the port frame, which a
        // Falcon's dump does not carry and its window holds anyway.
        const QStringList read = readByTool();
        const QStringList saved = bulk::describe(bulk::loadProfile(file).profile->params);
        QCOMPARE(saved.filter(QRegularExpression("^(?!port\\.)")), read);

        p.gprs->apn = "changed";
        p.telephones->number[0] = "";
        p.other->overSpeedOn = false;
        p.fences->fence[1] = {};
        QCOMPARE(cli({"write", "COM4", file}), QByteArray());
        QCOMPARE(readByTool(), read);

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
