#pragma once
#include <QString>

// Assistive tools name each combo box of the window by its row. Qt's own interface for a combo box on Linux gives its current text as the name ("COM4",
// "45%"), which tells a screen reader nothing about the row; the one installed here gives the
// accessible name, and the current text as the value.
// Installed before the first control is built.
void installNamedComboBoxes();

// A frame's caption as shown, for its accessible name: "&&" is one ampersand, a lone "&" marks a
// shortcut letter and is not read.
QString shownCaption(const QString& caption);
