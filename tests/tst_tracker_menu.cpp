// The window's Tracker menu against the simulated tracker on a pseudo-terminal, in real time:
// Write All (by mouse and by shortcut, its question answered by key), Cancel in its progress
// dialog, a refused box, a tracker that refuses a command, Compare, the tracker's identity in the
// status bar, and the record line of each run.
#include "bulk/profile.h"
#include "link/serial_port.h"
#include "pages/form2.h"
#include "pages/main_window.h"
#include "sim/tracker.h"
#include "support/chooser.h"
#include "support/dialogs.h"
#include "support/fakes.h"
#include "support/hands.h"
#include "support/live.h"
#include "support/snapshot.h"
#include "support/window_on_com4.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollBar>
#include <QHeaderView>
#include <QImage>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

using bulk::Model;

// The window against the simulator on COM4, with what Write All's tests ask of it.
struct Bench : WindowOnCom4 {
    QString identity() { return window.findChild<QLabel*>("TrackerIdentity")->text(); }
    bool idle()
    {
        return QTest::qWaitFor([this] {
            return form().engine().code() == Code::Idle && !form().engine().timer().isActive() &&
                   !window.findChild<QProgressDialog*>("WriteAllProgress");
        }, 20000);
    }
    void writeAll(bool byShortcut)
    {
        if (byShortcut)
            hands.key(Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
        else
            menu(window.writeAllAction());
    }
};

// The tracker's factory settings as a Condor profile, with something of every group changed.
bulk::Profile fleetProfile()
{
    bulk::Profile p = bulk::profileOf(Model::Condor, sim::Tracker::factory());
    p.params.gprs->apn = "fleet.apn";
    p.params.gprs->serverIp = "10.0.0.7";
    p.params.gprs->serverPort = "5013";
    p.params.telephones->number[0] = "+4917011111";
    p.params.other->overSpeed = "110";
    p.params.fences->fence[1] = {true, bulk::FenceSide::Out, "N52.52,E13.40,R300"};
    p.params.port->armFunction = bulk::ArmFunction::Level;
    return p;
}

// What a Write All of that profile sends, in order, as the tracker sees it: the GPRS, telephone
// and other-settings WRITE chains, the port rows and chain, then the fence rows.
QStringList fleetLines()
{
    return {
    "SETCfleet.apn,10.0.0.7:5013", "SETO,", "SETR;", "SETM1,030S",
    "SETA1,+4917011111", "SETA2,D", "SETA3,D", "SETA4,D", "SETA5,D",
    "SETN1,20", "SETJ1,110", "SETL+08:00", "SETP0,010", "SETH000000", "SETQ000000",
    "SETXD0B2F2", "SETS1,0,0", "SETS1,0,0", "SETXD2B1F0",
    "SETI1,0,1#", "SETI2,1,1,N52.52,E13.40,R300", "SETI3,0,1#", "SETI4,0,1#", "SETI5,0,1#"};
}

// The lines of the record file, each a JSON object.
QList<QJsonObject> recordLines(const QString& stateHome)
{
    QFile f(stateHome + "/korvane/record.jsonl");
    QList<QJsonObject> lines;
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    return lines;
}

}  // namespace

class TrackerMenuTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Bench> b_;
    std::unique_ptr<QTemporaryDir> state_;
    QTemporaryDir files_;

    // Opens the fleet profile by Ctrl+O: the boxes hold it, nothing is sent.
    void openFleet()
    {
        const QString path = files_.filePath("fleet.json");
        const QString error = bulk::saveProfile(path, fleetProfile());
        if (!error.isEmpty())
            qFatal("the fleet profile: %s", qPrintable(error));
        b_->chooser.next = path;
        b_->hands.key(Qt::Key_O, Qt::ControlModifier);
    }

private slots:
    void init()
    {
        state_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_STATE_HOME", state_->path().toUtf8());
        b_ = std::make_unique<Bench>();
        QVERIFY(b_->ready);
        QVERIFY(b_->hands.show());
        b_->hands.click("Command5");
        QVERIFY(b_->form().port().isOpen());
    }
    void cleanup()
    {
        b_.reset();
        state_.reset();
    }

    void theMenuSitsBesideFile()
    {
        QStringList menus, items;
        for (QAction* a : b_->window.menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList{"&File", "&Tracker", "&Ports…"}));
        for (QAction* a : b_->window.findChild<QMenu*>("TrackerMenu")->actions())
            items << (a->isSeparator() ? QString("--") : a->text() + " " + a->shortcut().toString());
        // Each opens a dialog, and says so.
        QCOMPARE(items, (QStringList{"Write All to Tracker… Ctrl+Shift+W", "Compare with Tracker… Ctrl+Shift+C", "--",
                                     "Station… "}));
        // "Write All Parameter" stays as the window has it: disabled, the menu is the way in.
        QVERIFY(!b_->hands.at("Command7")->isEnabled());
    }

    void writeAllSendsThePlanAndEndsWithOneSummary_data()
    {
        QTest::addColumn<bool>("byShortcut");
        QTest::newRow("menu by mouse") << false;
        QTest::newRow("shortcut") << true;
    }
    void writeAllSendsThePlanAndEndsWithOneSummary()
    {
        QFETCH(bool, byShortcut);
        openFleet();
        const int n = 24;
        b_->writeAll(byShortcut);
        QVERIFY(b_->boxes.waitFor(2, 20000));
        QVERIFY(b_->idle());

        QCOMPARE(b_->sim.received(), fleetLines() + QStringList{"SETG"});
        QCOMPARE(b_->boxes.texts.size(), 2);
        // The question names the port and the groups, and what the window's write leaves out.
        QCOMPARE(b_->boxes.texts[0].section('\n', 0, 0),
                 QString("Write to the tracker on COM4: GPRS, telephone numbers, other settings, port functions, "
                         "geo-fences (%1 commands)?").arg(n));
        QVERIFY2(b_->boxes.texts[0].section('\n', 1).startsWith("Not written: SIX TEL (slots 6 to 8 are disabled in the window: no button writes them), Seven TEL (slots 6 to 8"),
                 qPrintable(b_->boxes.texts[0]));
        QVERIFY2(b_->boxes.texts[1].startsWith(
                     QString("Written to COM4 and verified: %1 commands; the tracker holds what the window shows.").arg(n)),
                 qPrintable(b_->boxes.texts[1]));
        QCOMPARE(b_->formBoxes.shown, QStringList());   // no "Setting OK!" per command
        QCOMPARE(*b_->sim.tracker().params().gprs->apn, QString("fleet.apn"));
        QCOMPARE(b_->sim.tracker().params().fences->fence[1].coordinate, std::optional<QString>("N52.52,E13.40,R300"));

        const bulk::Identity id = *b_->sim.tracker().params().identity;
        QCOMPARE(b_->identity(), QString("COM4: IMEI %1 · HW %2 · SW %3").arg(*id.imei, *id.hardwareVersion, *id.softwareVersion));
        const QList<QJsonObject> record = recordLines(state_->path());
        QCOMPARE(record.size(), 1);
        QCOMPARE(record[0]["program"].toString() + " " + record[0]["action"].toString() + " " + record[0]["outcome"].toString(),
                 QString("korvane write verified"));
        QCOMPARE(record[0]["port"].toString(), QString("COM4"));
        // The device opened, as korvane-cli names it, not the ports folder's link to it.
        QCOMPARE(record[0]["device"].toString(), b_->sim.slavePath());
        QCOMPARE(record[0]["commandsSent"].toInt(), n + 1);   // and the read-back
        QCOMPARE(record[0]["profileFile"].toString(), files_.filePath("fleet.json"));
    }

    // Cancel on the question: nothing goes out, nothing is recorded.
    void cancelOnTheQuestionSendsNothing()
    {
        openFleet();
        b_->boxes.answers = {false};
        b_->writeAll(true);
        QVERIFY(b_->boxes.waitFor(1, 5000));
        QTest::qWait(300);
        QCOMPARE(b_->boxes.texts.size(), 1);
        QCOMPARE(b_->sim.received(), QStringList());
        QCOMPARE(recordLines(state_->path()).size(), 0);
    }

    // Cancel in the progress dialog stops after the command in flight: its reply is awaited, no
    // later command goes out, and the summary names what was written.
    void cancelInTheMiddleStopsAfterTheCommandInFlight()
    {
        openFleet();
        const int n = 24;
        b_->sim.faults().chunkSize = 1;       // each reply takes a while to come in
        b_->sim.faults().chunkDelayMs = 15;
        b_->writeAll(false);
        QVERIFY(b_->boxes.waitFor(1, 5000));   // the question, answered OK
        QVERIFY(QTest::qWaitFor([this] { return b_->sim.received().size() >= 3; }, 10000));
        auto* progress = b_->window.findChild<QProgressDialog*>("WriteAllProgress");
        QVERIFY(progress && progress->isVisible());
        QVERIFY2(progress->labelText().startsWith(QString("[3/%1] ").arg(n)), qPrintable(progress->labelText()));
        b_->hands.click(progress->findChild<QPushButton*>());
        QVERIFY(b_->boxes.waitFor(2, 10000));
        QVERIFY(b_->idle());

        const int k = int(b_->sim.received().size());
        QVERIFY2(k >= 3 && k < 6, qPrintable(QString::number(k)));
        QCOMPARE(b_->sim.received(), fleetLines().mid(0, k));   // the first lines, and no read-back
        QVERIFY2(b_->boxes.texts[1].startsWith(
                     QString("The write to COM4 was cancelled.\nalready written: %1 of %2 commands: GPRS").arg(k).arg(n)),
                 qPrintable(b_->boxes.texts[1]));
        const QList<QJsonObject> record = recordLines(state_->path());
        QCOMPARE(record.size(), 1);
        QCOMPARE(record[0]["outcome"].toString(), QString("cancelled"));
        QCOMPARE(record[0]["commandsSent"].toInt(), k);
    }

    // A box a write refuses is named as Save Profile names it, and nothing is sent or asked.
    void aRefusedBoxStopsItBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("named");
        QTest::newRow("interval out of range") << "Text21" << "300" << "gprs.interval: ";
        QTest::newRow("separator in the APN") << "Text1" << "a;b" << "gprs.apn: ";
        QTest::newRow("telephone letters") << "Text7" << "12B4" << "telephones.2: ";
    }
    void aRefusedBoxStopsItBeforeAnythingIsSent()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, named);
        openFleet();
        b_->hands.type(box, typed);
        b_->writeAll(false);
        QVERIFY(b_->boxes.waitFor(1, 5000));
        QTest::qWait(300);
        QCOMPARE(b_->boxes.texts.size(), 1);
        QVERIFY2(b_->boxes.texts[0].startsWith("Nothing was written to the tracker:\n" + named), qPrintable(b_->boxes.texts[0]));
        QCOMPARE(b_->sim.received(), QStringList());
    }

    // A command the tracker refuses stops the write there: what came back and what was written.
    void aRefusedCommandStopsTheWriteAndSaysWhatWasWritten()
    {
        openFleet();
        b_->sim.faults().failOn = "SETA";
        b_->writeAll(true);
        QVERIFY(b_->boxes.waitFor(2, 20000));
        QVERIFY(b_->idle());
        QCOMPARE(b_->sim.received(), fleetLines().mid(0, 5));
        // The button as the window shows it, and a refusal called one.
        QCOMPARE(b_->boxes.texts[1],
                 QString("The write to COM4 stopped:\nWRITE of TEL NO.-SET failed at command 5 of 24, "
                         "\"SETA1,+4917011111\": the tracker answered \"ERROR!\" (Setting Error!)\n"
                         "already written: 4 of 24 commands: GPRS 4 of 4; refused by the tracker: \"SETA1,+4917011111\""));
        const QList<QJsonObject> record = recordLines(state_->path());
        QCOMPARE(record.size(), 1);
        QCOMPARE(record[0]["outcome"].toString(), QString("failed"));
        QCOMPARE(record[0]["failedAt"].toInt(), 5);
        QCOMPARE(record[0]["reply"].toString(), QString("ERROR!"));
    }

    // A tracker that starts sending without end in the middle of the write: the run gives up within
    // its bounds, as korvane-cli does, instead of holding its modal progress for ever.
    void aReplyWithoutEndStopsTheWrite()
    {
        openFleet();
        connect(&b_->sim, &sim::PtyTracker::commandReceived, this, [this](const QString& line) {
            if (line.startsWith("SETA1,"))
                b_->sim.startFlood(200000);
        });
        b_->writeAll(true);
        QVERIFY(b_->boxes.waitFor(2, 20000));
        b_->sim.stopFlood();
        QVERIFY2(b_->boxes.texts[1].contains("the tracker kept sending without end"), qPrintable(b_->boxes.texts[1]));
        QVERIFY(b_->sim.received().constLast().startsWith("SETA1,"));   // nothing after the flooded command
        const QJsonObject record = recordLines(state_->path()).value(0);
        QCOMPARE(record["outcome"].toString(), QString("failed"));
        QCOMPARE(record["failedCommand"].toString(), QString("SETA1,+4917011111"));
        // What came back, as the summary quotes it: the flood's first lines, cut short.
        const QString reply = record["reply"].toString();
        QVERIFY2(reply.contains("DBG 000001 GPS:V SAT:00 GSM:17 BAT:4.05V ACC:0 IN:00\r\nDBG 000002 "),
                 qPrintable(reply.left(200)));
        QVERIFY(reply.size() <= 4096);
    }

    // A tracker unplugged in the middle of a write: the record names the device that was opened,
    // not what the ports folder's COM4 leads to once the tracker's link is gone.
    void anUnpluggedTrackerIsRecordedByTheDeviceOpened()
    {
        openFleet();
        const QString device = b_->sim.slavePath();
        b_->sim.faults().hangUpAfter = 3;
        connect(&b_->sim, &sim::PtyTracker::hungUp, this, [this] { b_->sim.unlink(); });
        b_->writeAll(true);
        QVERIFY(b_->boxes.waitFor(2, 20000));
        QVERIFY(b_->idle());
        const QList<QJsonObject> record = recordLines(state_->path());
        QCOMPARE(record.size(), 1);
        QCOMPARE(record[0]["outcome"].toString(), QString("failed"));
        QCOMPARE(record[0]["device"].toString(), device);
    }

    // Compare reads the dump, lists exactly the field planted on the tracker and changes no box.
    void compareListsAPlantedDifferenceAndChangesNoBox_data()
    {
        QTest::addColumn<QString>("planted");   // "" for none
        QTest::addColumn<QString>("summary");
        QTest::newRow("one planted") << "planted.apn" << "1 fields differ:";
        QTest::newRow("none") << "" << "The tracker holds what the window shows.";
    }
    void compareListsAPlantedDifferenceAndChangesNoBox()
    {
        QFETCH(QString, planted);
        QFETCH(QString, summary);
        b_->hands.click("Option7");    // Condor: the port frame too
        b_->hands.click("Command8");   // Read All: the boxes hold the tracker's settings
        QVERIFY(b_->idle());
        if (!planted.isEmpty())
            b_->sim.tracker().params().gprs->apn = planted;
        const QStringList before = snapshot(&b_->form());
        b_->sim.clearReceived();
        b_->menu(b_->window.compareAction());
        QVERIFY(b_->idle());
        QTRY_VERIFY(b_->window.findChild<QDialog*>("Comparison"));
        auto* dialog = b_->window.findChild<QDialog*>("Comparison");

        QCOMPARE(b_->sim.received(), QStringList{"SETG"});
        QCOMPARE(snapshot(&b_->form()), before);
        QCOMPARE(dialog->findChild<QLabel*>("ComparisonSummary")->text(), summary);
        auto* table = dialog->findChild<QTableWidget*>("Differences");
        QStringList rows;
        for (int r = 0; table && r < table->rowCount(); ++r)
            rows << table->item(r, 0)->text() + " | " + table->item(r, 1)->text() + " | " + table->item(r, 2)->text();
        QCOMPARE(rows, planted.isEmpty() ? QStringList() : QStringList{"APN | \"cmnet\" | \"" + planted + "\""});
        // The door level of the port frame never comes back in a dump.
        QCOMPARE(dialog->findChild<QLabel*>("NotComparable")->text(), QString("Not comparable (a dump never carries them): Door-level"));
        QCOMPARE(b_->boxes.texts, QStringList());
        QCOMPARE(b_->formBoxes.shown, QStringList());

        const QList<QJsonObject> record = recordLines(state_->path());
        QCOMPARE(record.size(), 1);
        QCOMPARE(record[0]["action"].toString() + " " + record[0]["outcome"].toString(),
                 QString(planted.isEmpty() ? "compare verified" : "compare differs"));
        QCOMPARE(record[0]["differs"].toArray().toVariantList(),
                 planted.isEmpty() ? QVariantList() : QVariantList{"gprs.apn"});
    }

    // Read All shows which tracker answered, on which port, while the port leads to it: CLOSE, a
    // pick of another port and an unplugged tracker take it away. Form2's own version boxes stay
    // hidden. The status bar's text keeps clear of the window's edges.
    void theIdentityIsShownOnlyForTheTrackerItWasReadFrom()
    {
        sim::PtyTracker other;
        QVERIFY(other.start() && other.linkAs(6));
        other.tracker().params().identity = bulk::Identity{"222222222222222", "3.0", "4.1"};
        QCOMPARE(b_->identity(), QString());
        b_->hands.click("Command8");
        QVERIFY(b_->idle());
        QCOMPARE(b_->identity(), QString("COM4: IMEI 356000123456782 · HW 1.0 · SW 2.1"));
        QVERIFY(!b_->hands.at("Text30")->isVisible() && !b_->hands.at("Text23")->isVisible());

        // Inked no nearer than a few pixels to either edge of the window.
        QStatusBar* bar = b_->window.statusBar();
        const QImage image = bar->grab().toImage();
        const QRgb background = image.pixel(0, 0);
        int left = image.width(), right = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != background) {
                    left = qMin(left, x);
                    right = qMax(right, x);
                }
        const double ratio = image.devicePixelRatio();
        QVERIFY2(right >= 0 && image.width() - 1 - right >= 4 * ratio,
                 qPrintable(QString("ink ends %1 px from the edge").arg(image.width() - 1 - right)));

        b_->hands.click("Command5");   // CLOSE
        QCOMPARE(b_->identity(), QString());
        b_->hands.click("Command5");
        b_->hands.click("Command8");
        QVERIFY(b_->idle());
        QVERIFY(b_->identity().startsWith("COM4: IMEI 356000123456782"));
        b_->hands.pick("Combo2", "COM6");   // the port changes while open
        QVERIFY(b_->form().port().isOpen());
        QCOMPARE(b_->identity(), QString());
        b_->hands.click("Command8");
        QVERIFY(b_->idle());
        QCOMPARE(b_->identity(), QString("COM6: IMEI 222222222222222 · HW 3.0 · SW 4.1"));
        other.hangUp();   // unplugged
        QTRY_COMPARE(b_->formBoxes.shown, QStringList{"Port Lost! Check The Cable And Open It Again"});
        QCOMPARE(b_->identity(), QString());
        QVERIFY(left >= 4 * ratio);
    }

    // What a tracker sends is text, never markup, in the status bar, the tables and the boxes;
    // its control characters are shown escaped.
    void trackerTextIsShownAsItIs()
    {
        bulk::Params& held = b_->sim.tracker().params();
        held.identity = bulk::Identity{"<b>8600</b>\x1b[2J", "<i>HW</i>&amp;2", "<b>SW</b>&amp;1"};
        held.telephones->number[0] = "<u>+49</u>\x07";
        b_->hands.click("Command8");
        QVERIFY(b_->idle());
        auto* identity = b_->window.findChild<QLabel*>("TrackerIdentity");
        const QString said = "COM4: IMEI <b>8600</b>\\x1b[2J · HW <i>HW</i>&amp;2 · SW <b>SW</b>&amp;1";
        QCOMPARE(shownText(identity), said);

        b_->hands.type("Text6", "+4917011111");
        b_->menu(b_->window.compareAction());
        QVERIFY(b_->idle());
        QTRY_VERIFY(b_->window.findChild<QDialog*>("Comparison"));
        auto* table = b_->window.findChild<QDialog*>("Comparison")->findChild<QTableWidget*>("Differences");
        QVERIFY(table);
        QStringList rows;
        for (int r = 0; r < table->rowCount(); ++r)
            rows << table->item(r, 0)->text() + " | " + table->item(r, 1)->text() + " | " + table->item(r, 2)->text();
        QCOMPARE(rows, QStringList{"ONE TEL | \"+4917011111\" | \"<u>+49</u>\\x07\""});
        QCOMPARE(shownText(identity), said);
    }

    // The comparison opens as large as its rows and columns need, and its title, within the screen.
    void theComparisonIsSizedToItsContents()
    {
        b_->hands.click("Command8");
        QVERIFY(b_->idle());
        bulk::Params& held = b_->sim.tracker().params();
        held.gprs->apn = "internet.a-rather-long-access-point-name.example.net";
        held.gprs->serverIp = "203.0.113.250";
        held.telephones->number[1] = "+4917099999999";
        b_->menu(b_->window.compareAction());
        QVERIFY(b_->idle());
        QTRY_VERIFY(b_->window.findChild<QDialog*>("Comparison"));
        auto* dialog = b_->window.findChild<QDialog*>("Comparison");
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        auto* table = dialog->findChild<QTableWidget*>("Differences");
        QCOMPARE(table->rowCount(), 3);
        QVERIFY(!table->horizontalScrollBar()->isVisible());
        QVERIFY(!table->verticalScrollBar()->isVisible());
        for (int c = 0; c < table->columnCount(); ++c)
            QVERIFY2(table->columnWidth(c) >= static_cast<QAbstractItemView*>(table)->sizeHintForColumn(c), qPrintable(QString::number(c)));
        QVERIFY2(table->horizontalHeader()->length() <= table->viewport()->width(),
                 qPrintable(QString("%1 of %2").arg(table->horizontalHeader()->length()).arg(table->viewport()->width())));
        QVERIFY(dialog->fontMetrics().horizontalAdvance(dialog->windowTitle()) < dialog->width());
        QVERIFY(dialog->screen()->availableGeometry().contains(dialog->frameGeometry()));
    }

    // A record that cannot be written is a warning in the status bar; the write is still verified.
    void anUnwritableRecordWarnsAndChangesNothing()
    {
        QFile blocker(state_->filePath("korvane"));   // a file where the record's folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        openFleet();
        b_->writeAll(true);
        QVERIFY(b_->boxes.waitFor(2, 20000));
        QVERIFY(b_->idle());
        QVERIFY2(b_->boxes.texts[1].startsWith("Written to COM4 and verified:"), qPrintable(b_->boxes.texts[1]));
        QVERIFY(!b_->window.statusBar()->currentMessage().isEmpty());
    }
};

QTEST_MAIN(TrackerMenuTest)
#include "tst_tracker_menu.moc"
