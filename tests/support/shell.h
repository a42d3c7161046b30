#pragma once
#include "pages/form2.h"
#include "pages/main_window.h"
#include "support/chooser.h"
#include "support/fakes.h"
#include "support/hands.h"

// The program's window on a fake port: Form2's boxes scripted, the window's own boxes real, the
// File menu's file dialog answered by the test; operated by mouse and keys.
struct WindowShell {
    FakePort port;
    ScriptedPrompt prompt;
    StubChooser chooser;
    MainWindow window{new Form2(&port, &prompt), &chooser};
    Hands hands{&window};

    // Not shown: start() shows it.
    explicit WindowShell(bool shown = true)
    {
        if (shown && !hands.show())
            qFatal("the window does not become active");
    }
};
