// The program's window: Form2 under a File menu that opens and saves profiles, operated by menu,
// shortcut, mouse and keys; start-up with a profile; closing.
#include "bulk/profile.h"
#include "pages/form2.h"
#include "pages/main_window.h"
#include "support/chooser.h"
#include "support/dialogs.h"
#include "support/fakes.h"
#include "support/hands.h"
#include "support/shell.h"
#include "support/snapshot.h"

#include <QAbstractButton>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The program's window on a fake port; Form2's boxes scripted, the window's own boxes real.
struct Shell : WindowShell {
    using WindowShell::WindowShell;
    QWidget* form() { return &window.form(); }
    bool on(const char* name) { return hands.at(name)->property("checked").toBool(); }

    void openByMenu(const QString& path)
    {
        chooser.next = path;
        QMenuBar* bar = window.menuBar();
        auto* file = window.findChild<QMenu*>("FileMenu");
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file->menuAction()).center());
        QVERIFY(QTest::qWaitFor([file] { return file->isVisible(); }, 2000));
        QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(window.openAction()).center());
        QVERIFY(QTest::qWaitFor([file] { return !file->isVisible(); }, 2000));
    }
    void shortcut(Qt::Key key, const QString& path)
    {
        chooser.next = path;
        hands.key(key, Qt::ControlModifier);
    }
};

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

constexpr char kNumbers[] = R"({"format": "korvane-profile", "version": 1, "model": "Condor",
    "telephones": {"1": "+4917011111", "2": "+4917022222", "3": ""}})";

}   // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void theFormSitsUnchangedUnderTheMenuBar()
    {
        Shell s;
        QCOMPARE(s.window.windowTitle(), QString("Korvane V2.1"));
        const int bar = s.window.menuBar()->height();
        QVERIFY(bar > 0);
        QCOMPARE(s.form()->geometry(), QRect(0, bar, 753, 585));
        // Under it, the status bar, where a port that may not be opened is explained.
        QCOMPARE(s.window.statusBar()->geometry().top(), bar + 585);
        QCOMPARE(s.window.size(), QSize(753, bar + 585 + s.window.statusBar()->height()));
        QStringList items;
        for (QAction* a : s.window.findChild<QMenu*>("FileMenu")->actions())
            items << a->text() + " " + a->shortcut().toString();
        QCOMPARE(items, (QStringList{"Open Profile… Ctrl+O", "Save Profile… Ctrl+S", " ", "Quit Ctrl+Q"}));
    }

    // The keys start at "Model-Select": as the window opens, and when a profile changes the model
    // under a box that held them and is gone with the old model.
    void theKeysStartAtTheModel()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("numbers.json");
        write(path, kNumbers);
        Shell s;
        QCOMPARE(s.hands.focus()->objectName(), QString("Option6"));
        s.hands.tab();
        QCOMPARE(s.hands.focus()->objectName(), QString("Text2"));   // the first box of GPRS-SET
        s.hands.click("Option9");
        s.hands.click("Text16");   // the fuel table, offered by Harrier only
        QCOMPARE(s.hands.focus()->objectName(), QString("Text16"));
        s.shortcut(Qt::Key_O, path);   // a Condor profile
        QVERIFY(s.on("Option7"));
        QCOMPARE(s.hands.focus()->objectName(), QString("Option7"));
    }

    // The real window, real boxes: Form2's own messages still carry the program's caption.
    void formMessagesKeepTheCaption()
    {
        MainWindow window;
        Hands hands(&window);
        QVERIFY(hands.show());
        DialogAnswerer answers;
        hands.click("Command10");   // APN "Apply" with the port closed
        QVERIFY(answers.waitFor(1, 3000));
        QCOMPARE(answers.texts, QStringList{"PLS Open COMM Port"});
        QCOMPARE(answers.titles, QStringList{"Korvane V2.1"});
        QCOMPARE(answers.icons, QList<int>{QMessageBox::NoIcon});
    }

    void savedAfterTypingComesBackInAFreshWindow_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("clicks");   // in this order, before the boxes are typed
        QTest::addColumn<QString>("boxes");        // name=text, one box after the other
        const QString common = "Text1=apn.fleet Text19=fleet Text20=pw Text3=10.0.0.7 Text5=5013 "
                               "Text4=http://fleet.example Text31=8080 Text21=045 Text6=+4917011111 "
                               "Text26=+4917055555 Combo3=30% Text9=110 Text15=+02 Combo4=45 Text33=020 "
                               "Text11=N52.52,E13.40,R300 Text17=654321 Text7=+4917022222 Text8=+4917033333 "
                               "Text25=+4917044444 Text10=1,2,3 Text12=4,5,6 Text13=7,8,9 Text14=10,11,12";
        const QStringList fence = {"Check_d2_on", "Check_d2_in", "Check_d5_on", "Option2", "Check2"};
        // Option18 lies in Frame9, which the pulse arm hides: it is chosen first.
        QTest::newRow("Condor") << "Option7"
                                << fence + QStringList{"Option4", "Option18", "Option15", "Option16"}
                                << common;
        QTest::newRow("Harrier")
            << "Option9" << fence + QStringList{"Check1", "Option22", "Option24", "Option25", "Option27"}
            << common + " Text16=0,100,100,4200 Text32=3 Text18=001234";
    }
    void savedAfterTypingComesBackInAFreshWindow()
    {
        QFETCH(QString, model);
        QFETCH(QStringList, clicks);
        QFETCH(QString, boxes);
        QTemporaryDir dir;
        const QString path = dir.filePath("fleet.json");

        Shell a;
        a.hands.click(model);
        for (const QString& c : clicks)
            a.hands.click(c);
        for (const QString& box : boxes.split(' '))
            a.hands.type(box.section('=', 0, 0), box.section('=', 1));
        a.shortcut(Qt::Key_S, path);
        QVERIFY(QFile::exists(path));

        Shell b;
        const QStringList fresh = snapshot(b.form());
        b.openByMenu(path);
        QCOMPARE(snapshot(b.form()), snapshot(a.form()));
        QVERIFY(snapshot(b.form()) != fresh);
        QVERIFY(b.hands.at("Command11")->isEnabled());   // the password row usable, as after a click
        // Opening sends nothing and says nothing.
        QVERIFY(b.port.written.isEmpty() && b.prompt.shown.isEmpty());
    }

    // Fuel and password go into a profile only while checked; opening one without them unchecks them.
    void fuelAndPasswordAreSavedOnlyWhenChecked()
    {
        QTemporaryDir dir;
        Shell s;
        s.hands.click("Option8");   // Falcon: fuel row offered
        s.hands.type("Text16", "0,100,100,4200");
        s.hands.type("Text17", "654321");
        s.shortcut(Qt::Key_S, dir.filePath("plain.json"));
        s.hands.click("Check1");
        s.hands.click("Check2");
        s.shortcut(Qt::Key_S, dir.filePath("both.json"));
        const auto other = [&dir](const char* file) {
            return bulk::loadProfile(dir.filePath(file)).profile.value().params.other.value();
        };
        QVERIFY(!other("plain.json").fuel && !other("plain.json").password);
        QCOMPARE(other("both.json").fuel, std::optional<QString>("0,100,100,4200"));
        QCOMPARE(other("both.json").password, std::optional<QString>("654321"));

        s.shortcut(Qt::Key_O, dir.filePath("plain.json"));
        QVERIFY(!s.on("Check1") && !s.on("Check2"));
        QVERIFY(!s.hands.at("Command38")->isEnabled() && !s.hands.at("Command11")->isEnabled());
    }

    void aProfileOfNumbersChangesOnlyTheNumbers()
    {
        QTemporaryDir dir;
        write(dir.filePath("numbers.json"), kNumbers);
        Shell s;
        s.hands.click("Option7");
        s.hands.click("Check2");
        s.hands.type("Text1", "kept.apn");
        s.hands.type("Text8", "+4917033333");
        const QStringList before = snapshot(s.form());
        s.shortcut(Qt::Key_O, dir.filePath("numbers.json"));
        QStringList changed = snapshot(s.form());
        for (const QString& line : before)
            changed.removeOne(line);
        QCOMPARE(changed, (QStringList{"Text6: +4917011111", "Text7: +4917022222", "Text8: "}));
        QVERIFY(s.port.written.isEmpty() && s.prompt.shown.isEmpty());
    }

    // One bad profile for all: the refusals and their texts are the loader's.
    void aBadProfileChangesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.json");
        write(path, QByteArray(kNumbers).left(80));
        Shell s;
        s.hands.click("Option7");
        s.hands.type("Text6", "+4917000000");
        const QStringList before = snapshot(s.form());
        DialogAnswerer answers;
        s.shortcut(Qt::Key_O, path);
        QVERIFY(answers.waitFor(1, 3000));
        const QString told = " was not opened:\nthe file ends too early (line 2, column 18): it is cut short";
        QCOMPARE(answers.texts, QStringList{path + told});
        QCOMPARE(answers.titles, QStringList{"Korvane V2.1"});
        QCOMPARE(answers.icons, QList<int>{QMessageBox::NoIcon});
        QCOMPARE(snapshot(s.form()), before);
    }

    void aProfileThatCannotBeSavedSaysSo()
    {
        QTemporaryDir dir;
        Shell s;
        s.hands.type("Text9", "300");
        DialogAnswerer answers;
        const QString path = dir.filePath("fleet.json");
        s.shortcut(Qt::Key_S, path);
        QVERIFY(answers.waitFor(1, 3000));
        QCOMPARE(
            answers.texts,
            QStringList{path + " was not saved:\nother.overSpeed: \"300\" is out of range (000 to 250)"});
        QVERIFY(!QFile::exists(path));
        // Cancelled: no box, no file.
        s.shortcut(Qt::Key_S, QString());
        QTest::qWait(50);
        QCOMPARE(answers.texts.size(), 1);
    }

    // Saved into a FIFO (a script waiting for the profile): its reader gets the profile and the
    // FIFO stays one; nothing is renamed over it.
    void aProfileSavedIntoAFifoGoesToItsReader()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("profile.fifo");
        const QByteArray native = QFile::encodeName(path);
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        const int reader = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        Shell s;
        s.hands.click("Option7");
        s.hands.type("Text6", "+4917011111");
        DialogAnswerer answers;
        s.shortcut(Qt::Key_S, path);
        QTest::qWait(100);
        char buffer[8192];
        const ssize_t n = ::read(reader, buffer, sizeof buffer);
        ::close(reader);
        QCOMPARE(answers.texts, QStringList());
        struct stat st {};
        QVERIFY(::lstat(native.constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QVERIFY(n > 0);
        const bulk::ProfileRead got = bulk::parseProfile(QByteArray(buffer, int(n)));
        QVERIFY2(got.profile, qPrintable(got.error));
        QCOMPARE(got.profile->model, bulk::Model::Condor);
        QCOMPARE(got.profile->params.telephones->number[0], QString("+4917011111"));
    }

    // korvane PROFILE.json: main hands the argument to start().
    void startsWithTheProfileOfTheCommandLine()
    {
        QTemporaryDir dir;
        write(dir.filePath("numbers.json"), kNumbers);
        Shell s(false);
        s.window.start(dir.filePath("numbers.json"));
        QVERIFY(s.window.isVisible());
        QVERIFY(s.on("Option7"));
        QCOMPARE(controlText(s.hands.at("Text7")), QString("+4917022222"));
    }

    // korvane BAD.json: the message box, and the same words on standard error for the terminal.
    void aBadProfileOfTheCommandLineIsAlsoToldOnStandardError()
    {
        QTemporaryDir dir;
        write(dir.filePath("bad.json"), "{\"format\": \"korvane-profile\"}");
        Shell s(false);
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable("korvane: " + dir.filePath("bad.json") + ": version: missing (this Korvane reads version 1)"));
        DialogAnswerer answers;
        s.window.start(dir.filePath("bad.json"));
        QVERIFY(answers.waitFor(1, 3000));
        QVERIFY2(answers.texts.first().endsWith("was not opened:\nversion: missing (this Korvane reads version 1)"),
                 qPrintable(answers.texts.first()));
        QVERIFY(s.window.isVisible());
    }

    // Quit closes the window, as the window manager's close does: one way for both.
    void quitEndsTheProgramAsForm2Does()
    {
        Shell s;
        s.hands.click("Command5");   // OPEN
        QVERIFY(s.port.isOpen());
        QSignalSpy unloaded(s.form(), SIGNAL(unloaded()));
        s.shortcut(Qt::Key_Q, QString());
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(!s.window.isVisible());
        QVERIFY(!s.port.isOpen());
        QCOMPARE(s.chooser.asked, 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
