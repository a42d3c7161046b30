#pragma once
#include "core/params.h"

#include <QString>

// The tracker's side of the serial protocol, without any I/O: one command line in, the reply text
// out. It keeps the parameters that the SET commands write so that "SETG" returns them in the
// parameter dump, which the window parses by fixed markers and character offsets.
namespace sim {

class Tracker {
public:
    // The state is the tracker's parameters in the shape the window reads them (core/params.h),
    // every group and field present. Free fields are kept exactly as received, so that a read shows
    // what was written; numbers are converted only when the dump needs a hex pair or a decimal
    // value. The tracker has one door input: the door commands of both frames set both door levels.
    using Params = bulk::Params;

    Tracker();                                   // factory values
    void reset();                                // back to factory values (what SET10 does)

    // One command line without its "\r\n"; returns the reply ("" = the tracker says nothing).
    QString handle(const QString& line);

    // The reply to SETG built from the current state. `condorLines` adds the input/output and arm
    // pairs, which the window reads only for the model that has those lines.
    QString dump(bool condorLines = true) const;

    Params& params() { return p_; }
    const Params& params() const { return p_; }

    static Params factory();

    int lastTest() const { return lastTest_; }   // digit of the last SETTn (cut, lock, trunk …); -1: none

private:
    QString handleSetC(const QString& rest);
    QString handleSetM(const QString& rest);
    QString handleSetA(const QString& rest);
    QString handleSetI(const QString& rest);
    QString handleSetS(const QString& rest);
    QString handleSetXD(const QString& rest);
    QString handleSetU(const QString& rest);

    Params p_;
    int lastTest_ = -1;
};

}  // namespace sim
