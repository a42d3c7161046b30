#pragma once
#include "core/params.h"

#include <QString>
#include <QStringList>

// The parameter dump (the reply to "SETG") read into the tracker's parameters. Showing them is a
// separate step (Form2::showParams), which selects option buttons so that their click handlers
// run, and shows the read's messages at their points.
namespace bulk {

inline const QString kIntervalError = QStringLiteral("Interval Error");
inline const QString kLocalTimeError = QStringLiteral("Local Time Error");
// Shown, once, when the dump ends before a field or is out of format: the fields reached are
// filled, the rest is left as it was.
inline const QString kIncompleteDump = QStringLiteral("Read Data Incomplete!");

struct DumpRead {
    // The fields the read reached; those after the point where it stopped are absent.
    Params params;
    // The interval unit was no known letter: gprs.intervalUnit is absent, and kIntervalError is
    // shown after the unit, before the interval's text.
    bool intervalError = false;
    // The local time's hours were above 23: other.localHours holds the sign alone, the minutes are
    // absent, and kLocalTimeError is shown after the hours; the read ended there.
    bool localTimeError = false;
    // The dump ended early or was out of format: kIncompleteDump closes the read.
    bool incomplete = false;
    // Fields whose text the read could not take exactly, each as "key (text)": a hex pair with a
    // character that is no hex digit (it reads as the window reads it, "ZZ" as 0), a choice digit
    // other than 0 and 1 (the field is left as it was), an odometer longer than its six digits
    // (the first six are read). A window shows what it can; a state to hold exactly cannot use them.
    QStringList inexact;

    bool operator==(const DumpRead&) const = default;
};

// `condor`: whether the model option Option7 is selected (only then are the input/output and arm
// pairs read, into the port group). A reply that does not begin with "A" gives an empty read.
DumpRead parseDump(const QString& reply, bool condor);

}  // namespace bulk
