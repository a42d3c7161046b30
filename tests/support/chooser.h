#pragma once
#include "pages/main_window.h"

// Answers the File menu's file dialog with the name the test set.
struct StubChooser : FileChooser {
    QString next;
    int asked = 0;
    QString openName(QWidget*) override
    {
        ++asked;
        return next;
    }
    QString saveName(QWidget*) override
    {
        ++asked;
        return next;
    }
};
