#pragma once
#include "bulk/profile.h"
#include "core/rows.h"

#include <QString>
#include <QStringList>
#include <vector>

// What a write of a profile sends, read from the row table (core/rows.h): which buttons it presses
// in the window's order, the lines they send, and every reason it would refuse to send anything.
// The command-line tool and the window's profile checks read the same plan.
namespace bulk {

// One command of a write as planned before anything is sent.
struct PlannedCommand {
    QString group;       // the profile's group key: "gprs", "telephones", "other", ...
    QString button;      // the window's button that sends it ("Command2" for the GPRS WRITE)
    QString line;        // the command as it goes out, without "\r\n"
};

// One press of a button: a row's "Apply" or a frame's "WRITE".
struct PlannedPress {
    QString group;
    const rows::Row* row = nullptr;
    const rows::Chain* chain = nullptr;
    int first = 0;       // index of its first command in the plan
    int count = 0;
};

struct Plan {
    rows::Fields fields;
    std::vector<PlannedPress> presses;
    std::vector<PlannedCommand> commands;
    QStringList passedOver;   // "key (reason)": fields of the profile that no press writes
    QStringList passedOverKeys;   // ... their keys
    QStringList passedOverWhy;    // ... and the reasons
};

// The buttons a write of `profile` presses, in the window's order (rows::writeOrder()): each
// button the model's window offers that sends a field of the profile not sent by an earlier one.
Plan plan(const Profile& profile);

// A value a write refuses: the key, the value ("" when missing), and why.
struct Refusal {
    QString key;
    QString value;
    bool missing = false;
    bool incomplete = false;   // a field the chain needs that a partial profile leaves out
    QString problem;    // "is out of range", "holds \",\"", "missing"
    QString detail;     // "000 to 250"
    // "key: problem (detail)", as the write and the window's profile checks say it.
    QString message() const;
    // "key: the tracker holds "v", which a write refuses (detail)", as a read warns of it.
    QString warning() const;
};

// Every reason a write of `profile` would refuse to send anything, in the plan's order: a group
// or field the model's window does not offer, a field a chain needs that the profile leaves out,
// a text outside its form, and what the window's own builders refuse.
std::vector<Refusal> refusals(const Profile& profile);

// A field of a profile that verify compares with the tracker's.
struct Difference {
    QString key;
    QString expected;    // in the profile
    QString actual;      // read back
    QString notWritten;  // why a write of the profile does not send it ("" when it does)
};

struct Comparison {
    QList<Difference> differ;
    // Fields the tracker holds otherwise but that no write of the profile sends (a telephone number
    // 6 to 8, an off fence's coordinate, a field the model's window has no button for): named, with
    // the reason, and no difference: a write could not change them.
    QList<Difference> notWritten;
    QStringList unverifiable;   // keys the dump never carries (other.fuel, port.doorLevel ...)
};

// The fields of `profile` against the parameters read from a tracker of the same model, but for
// those left out. A write's read-back and a verify compare alike: every field is compared, and one
// that no write of the profile sends is set apart in `notWritten` with the reason.
Comparison compare(const Profile& profile, const Params& read, const QStringList& leaveOut = {});

// A profile's group keys as the messages name them.
QString groupTitle(const QString& group);

}  // namespace bulk
