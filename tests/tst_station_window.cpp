// The window's Station dialog against simulated trackers on pseudo-terminals, in real time and by
// mouse and keys: the window's own port taken over after one question or left with the window, a
// fleet written with one tracker refusing, the live table, the counts, Stop, the report saved through
// the real file dialog, and a refused values file that starts nothing.
#include "bulk/profile.h"
#include "link/serial_port.h"
#include "pages/form2.h"
#include "pages/main_window.h"
#include "pages/station_dialog.h"
#include "sim/pty_tracker.h"
#include "sim/tracker.h"
#include "support/chooser.h"
#include "support/dialogs.h"
#include "support/fakes.h"
#include "support/hands.h"
#include "support/live.h"
#include "support/window_on_com4.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

using bulk::Model;

bulk::Profile fleetProfile()
{
    bulk::Profile p = bulk::profileOf(Model::Condor, sim::Tracker::factory());
    p.params.gprs->apn = "fleet.apn";
    p.params.gprs->serverIp = "10.0.0.7";
    p.params.gprs->serverPort = "5013";
    p.params.telephones->number[0] = "+4917011111";
    return p;
}

// What a write of that profile sends, in order, as a tracker sees it.
QStringList fleetLines()
{
    return {
    "SETCfleet.apn,10.0.0.7:5013", "SETO,", "SETR;", "SETM1,030S",
    "SETA1,+4917011111", "SETA2,D", "SETA3,D", "SETA4,D", "SETA5,D",
    "SETN1,20", "SETJ0,000", "SETL+08:00", "SETP0,010", "SETH000000", "SETQ000000",
    "SETXD0B2F2", "SETS0,2,0", "SETS0,2,0", "SETXD2B1F0",
    "SETI1,0,1#", "SETI2,0,1#", "SETI3,0,1#", "SETI4,0,1#", "SETI5,0,1#"};
}

// A tracker on a pseudo-terminal of its own, by its device path.
struct Unit {
    sim::PtyTracker sim;
    explicit Unit(const QString& imei) { sim.tracker().params().identity->imei = imei; }
    bool up() { return sim.start(); }
    QString path() const { return sim.slavePath(); }
};

using Bench = WindowOnCom4;

// Each row of the trackers' table, its cells joined by " | ".
QStringList tableRows(const QTableWidget* t)
{
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < t->columnCount() - 1; ++c)   // the time differs from run to run
            cells << t->item(r, c)->text();
        out << cells.join(" | ");
    }
    out.sort();
    return out;
}

}  // namespace

class StationWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Bench> b_;
    std::unique_ptr<QTemporaryDir> state_;
    QTemporaryDir files_;
    QPointer<StationDialog> dialog_;

    template <class T = QWidget> T* at(const char* name) { return dialog_->findChild<T*>(name); }
    Hands dialogHands() { return Hands(dialog_); }

    // Tracker → Station… by mouse; the dialog made quick to look and ask (the watcher keeps its
    // 100 ms).
    void openStation()
    {
        b_->menu(b_->window.stationAction());
        QVERIFY(QTest::qWaitFor([this] {
            dialog_ = b_->window.findChild<StationDialog*>();
            return dialog_ && dialog_->isVisible();
        }, 3000));
        dialog_->setTimings(50, 300, 100);
        // The closing menu gives the window back its activation a moment after the dialog got it
        // (without a window manager); a person then clicks into the dialog.
        QTest::qWait(100);
        dialog_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog_));
    }
    QString fleetFile()
    {
        const QString path = files_.filePath("fleet.json");
        if (const QString error = bulk::saveProfile(path, fleetProfile()); !error.isEmpty())
            qFatal("the fleet profile: %s", qPrintable(error));
        return path;
    }
    // The fleet profile's file, the values file (if any) and the ports typed in, then Start: by
    // mouse and keys, as a technician fills the dialog in.
    void startWith(const QString& ports, const QString& values = {})
    {
        Hands hands = dialogHands();
        hands.click(at("StationFromFile"));
        hands.click(at("StationProfileFile"));
        hands.keys(fleetFile());
        if (!values.isEmpty()) {
            hands.click(at("StationValuesFile"));
            hands.keys(values);
        }
        hands.click(at("StationPorts"));
        hands.keys(ports);
        hands.click(at("StationStart"));
    }
    bool counted(const QString& counts, int ms = 30000)
    {
        auto* label = at<QLabel>("StationCounts");
        const bool ok = QTest::qWaitFor([&] { return label->text() == counts; }, ms);
        if (!ok)
            qWarning().noquote() << "counts:" << label->text();
        return ok;
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
        if (dialog_ && dialog_->running()) {
            dialog_->stop();
            (void)QTest::qWaitFor([this] { return !dialog_->running(); }, 10000);
        }
        b_.reset();
        state_.reset();
    }

    // The window's COM4 handed over after one question; a tracker that refuses one command beside
    // two that take everything; the table, the counts, the window kept off COM4; Stop; the report.
    void aFleetWrittenBesideTheWindow()
    {
        Unit second("864000000000052"), refusing("864000000000053");
        QVERIFY(second.up());
        QVERIFY(refusing.up());
        refusing.sim.faults().failOn = "SETN";
        b_->sim.tracker().params().identity->imei = QStringLiteral("864000000000051");

        openStation();
        Hands hands = dialogHands();
        b_->boxes.answers = {true};
        startWith(QString("COM4, %1 %2").arg(second.path(), refusing.path()));
        QVERIFY(b_->boxes.waitFor(1, 5000));
        QCOMPARE(b_->boxes.texts[0], QString("COM4 is open in the window. Close it there and let the station watch it?"));

        QVERIFY(counted("Verified 2 · Differs 0 · Failed 1 · Cancelled 0 · Skipped 0 · Not in values 0"));
        // The window let its port go, and keeps off it while the station holds it.
        QVERIFY(!b_->form().port().isOpen());
        QCOMPARE(b_->hands.at("Command5")->property("text").toString(), QString("OPEN"));
        b_->hands.click("Command5");
        QCOMPARE(b_->formBoxes.shown.value(0), QString("COM4 is watched by the station. Stop the station to use it here."));
        QVERIFY(!b_->form().port().isOpen());

        auto* table = at<QTableWidget>("StationTable");
        QStringList expected{
            QString("%1 | 864000000000052 | done | ✔ verified").arg(second.path()),
            QString("%1 | 864000000000053 | done | ✘ failed: SETN1,20 (the tracker answered \"ERROR!\" (Setting Error!)); "
                    "already written: 9 of 24 commands: GPRS 4 of 4; telephone numbers 5 of 5; "
                    "refused by the tracker: \"SETN1,20\"").arg(refusing.path()),
            "COM4 | 864000000000051 | done | ✔ verified"};
        expected.sort();
        QCOMPARE(tableRows(table), expected);

        // Every tracker heard its identity read, the write and the read-back; the refusing one
        // nothing after its refusal.
        QCOMPARE(second.sim.received().mid(0, 26), QStringList{"SETG"} + fleetLines() + QStringList{"SETG"});
        QCOMPARE(b_->sim.received().mid(0, 26), QStringList{"SETG"} + fleetLines() + QStringList{"SETG"});
        QCOMPARE(refusing.sim.received().mid(0, 11), QStringList{"SETG"} + fleetLines().mid(0, 10));
        QVERIFY(!refusing.sim.received().mid(11).contains("SETJ0,000"));

        hands.click(at("StationStop"));
        // Stopped: Start can be pressed again, Stop no more.
        QVERIFY(QTest::qWaitFor([this] { return at<QPushButton>("StationStart")->isEnabled(); }, 10000));
        QVERIFY(!dialog_->running());
        QVERIFY(!at<QPushButton>("StationStop")->isEnabled());
        // Stopped, the window opens COM4 again.
        b_->hands.click("Command5");
        QVERIFY(b_->form().port().isOpen());

        // Save Report… through Qt's own file dialog: a name typed, Enter.
        const QString report = files_.filePath("fleet-report.csv");
        QTimer::singleShot(0, this, [report] {
            (void)QTest::qWaitFor([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }, 5000);
            auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!fd)
                return;
            // The name box has the keys once the dialog is the active window.
            if (!QTest::qWaitFor([fd] { return QApplication::focusWidget() && QApplication::focusWidget()->window() == fd; }, 5000))
                fd->reject();
            QTest::keyClicks(QApplication::focusWidget(), report);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        hands.click(at("StationSaveReport"));
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(report); }, 5000));
        QFile f(report);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.value(0), QByteArray("time,port,imei,outcome,failed command,seconds,reply\r"));
        QCOMPARE(lines.size(), 5);   // three rows and the empty end
        // Time and seconds differ from run to run: the rest of each row as it stands.
        QStringList reportRows;
        static const QRegularExpression times("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(\\.\\d+)?Z,(.*),\\d+\\.\\d,(.*)\r$");
        for (const QByteArray& line : lines.mid(1, 3)) {
            const auto m = times.match(QString::fromUtf8(line));
            reportRows << (m.hasMatch() ? m.captured(2) + " / " + m.captured(3) : "unreadable: " + QString::fromUtf8(line));
        }
        reportRows.sort();
        QStringList expectedRows{
            QString("%1,864000000000052,verified, / ").arg(second.path()),
            QString("%1,864000000000053,failed,\"SETN1,20\" / ERROR!").arg(refusing.path()),
            "COM4,864000000000051,verified, / "};
        expectedRows.sort();
        QCOMPARE(reportRows, expectedRows);
    }

    // Kept with the window, its port is left out; the others are written.
    void theWindowsPortStaysWhenAskedTo()
    {
        Unit other("864000000000061");
        QVERIFY(other.up());
        openStation();
        b_->boxes.answers = {false};
        startWith(QString("com4,%1").arg(other.path()));
        QVERIFY(b_->boxes.waitFor(1, 5000));
        QVERIFY(counted("Verified 1 · Differs 0 · Failed 0 · Cancelled 0 · Skipped 0 · Not in values 0"));
        QVERIFY(b_->form().port().isOpen());
        QCOMPARE(b_->sim.received(), QStringList());
        auto* ports = at<QTableWidget>("StationPortStates");
        QCOMPARE(ports->rowCount(), 1);
        QCOMPARE(ports->item(0, 0)->text(), other.path());
        QVERIFY(at<QLabel>("StationMessage")->text().startsWith("Not watched: the window's port"));
    }

    // Quitting the window while a tracker is being written: one question, then the station stops
    // after the command in flight, the tracker is recorded as cancelled, and nothing more is sent.
    void quittingStopsTheStationFirst()
    {
        Unit slow("864000000000081");
        QVERIFY(slow.up());
        slow.sim.faults().chunkSize = 2;
        slow.sim.faults().chunkDelayMs = 30;
        openStation();
        startWith(slow.path());
        QVERIFY(QTest::qWaitFor([&] { return slow.sim.received().contains("SETA1,+4917011111"); }, 15000));

        b_->boxes.answers = {true};
        // File → Quit by mouse, the dialog still open beside the window.
        b_->menu("FileMenu", b_->window.quitAction());
        QVERIFY(b_->boxes.waitFor(1, 5000));
        QCOMPARE(b_->boxes.texts[0], QString("The station is running. Stop it and quit?"));
        QVERIFY(QTest::qWaitFor([this] { return !b_->window.isVisible(); }, 10000));
        const int sent = int(slow.sim.received().size());
        QVERIFY2(sent < 25, qPrintable(slow.sim.received().join(" | ")));
        QTest::qWait(500);
        QCOMPARE(int(slow.sim.received().size()), sent);

        QFile record(state_->path() + "/korvane/record.jsonl");
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = record.readAll().split('\n');
        QCOMPARE(lines.size(), 2);   // one line and the empty end
        const QJsonObject line = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(line.value("imei").toString(), QString("864000000000081"));
        QCOMPARE(line.value("outcome").toString(), QString("cancelled"));
        QCOMPARE(line.value("program").toString(), QString("korvane"));
    }

    // A values file that names no profile key: one message with its line and column, nothing sent,
    // nothing started.
    void aRefusedValuesFileStartsNothing()
    {
        Unit other("864000000000071");
        QVERIFY(other.up());
        const QString values = files_.filePath("values.csv");
        QFile v(values);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("imei,telephones.1,gprs.prot\n864000000000071,+49,7002\n");
        v.close();

        openStation();
        startWith(other.path(), values);
        QVERIFY(b_->boxes.waitFor(1, 5000));
        QCOMPARE(b_->boxes.texts[0], QString("Nothing was started: %1 is refused:\nline 1, column 19: gprs.prot: unknown key "
                                             "(known here: apn, apnUser, apnPassword, serverIp, serverPort, "
                                             "httpAddress, httpPort, interval, intervalUnit)").arg(values));
        QVERIFY(!dialog_->running());
        QTest::qWait(400);
        QCOMPARE(other.sim.received(), QStringList());
        QCOMPARE(at<QTableWidget>("StationPortStates")->rowCount(), 0);
    }
};

QTEST_MAIN(StationWindowTest)
#include "tst_station_window.moc"
