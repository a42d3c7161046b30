#pragma once
#include <QString>
#include <vector>

// The parameter dump (the reply to "SETG") turned into an ordered list of effects on the window's
// controls, named by objectName. Applying them is a separate step (Form2), so that option buttons
// selected by a read still run their click handlers and messages appear at the right point.
namespace bulk {

struct Effect {
    enum Kind {
        SetText,    // control's whole text (line edit, text edit, editable combo) becomes `text`
        Select,     // option button `control` selected (its group mates deselected)
        Deselect,   // option button `control` deselected
        SetCheck,   // check box `control`: first its check state `on`, then its caption `text`
        Hide,       // widget `control` hidden
        Message,    // modal OK message `text`
    };
    Kind kind;
    QString control;
    QString text;
    bool on = false;

    bool operator==(const Effect&) const = default;
};

// Shown, once, when the dump ends before a field or is out of format: the fields reached are
// filled, the rest is left as it was.
inline const QString kIncompleteDump = QStringLiteral("Read Data Incomplete!");

// `condor`: whether the model option Option7 is selected (only then are the input/output and arm
// pairs read). A reply that does not begin with "A" gives no effects at all.
std::vector<Effect> parseDump(const QString& reply, bool condor);

}  // namespace bulk
