#pragma once
#include <QString>

namespace text {

// Text for a terminal: C0 controls but the line break, DEL and the C1 controls (U+0080..U+009F,
// such as the CSI U+009B) as "\xNN"; everything else, backslashes included, as it is. For
// messages that repeat what a user typed (a file or port named with an ESC or OSC sequence) or
// anything else a terminal would obey instead of showing.
QString escapeControls(const QString& text);

}  // namespace text
