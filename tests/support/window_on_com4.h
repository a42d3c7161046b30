#pragma once
#include "link/serial_port.h"
#include "pages/form2.h"
#include "pages/main_window.h"
#include "support/chooser.h"
#include "support/dialogs.h"
#include "support/fakes.h"
#include "support/hands.h"
#include "support/live.h"

#include <QMenu>
#include <QMenuBar>
#include <QTest>

// The program's window on the real serial port against the simulator on COM4. Form2's own boxes
// are scripted; the window's boxes are real, answered by key.
struct WindowOnCom4 : TrackerOnCom4 {
    bool ready = up();
    SerialPort port;
    ScriptedPrompt formBoxes;
    StubChooser chooser;
    MainWindow window{new Form2(&port, &formBoxes), &chooser};
    Hands hands{&window};
    DialogAnswerer boxes;

    Form2& form() { return window.form(); }
    // A menu's item (menu "TrackerMenu", "FileMenu"), by mouse on the menu bar and the menu, as a
    // technician opens it.
    void menu(const char* menuName, QAction* item)
    {
        QMenuBar* bar = window.menuBar();
        auto* menu = window.findChild<QMenu*>(menuName);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        QVERIFY(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    }
    void menu(QAction* item) { menu("TrackerMenu", item); }
};
