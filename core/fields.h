#pragma once
#include "core/params.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

// One entry per field of the tracker's parameters, and the one place a field is declared: its key,
// its member in bulk::Params, its form, its box or boxes in the window, the caption the window
// shows for it, the name assistive tools read for its box, and where the tracker's dump carries
// it. The field walk (bulk::forEachField), the forms (rows::forms), the window's mapping and show
// order (pages/params_view.cpp), the boxes' accessible names and the captions in the window's
// messages are all read from here. problems() and Form2's start-up check say what an entry lacks.
//
// A new row with a field of its own takes: the member (core/params.h) and its entry here; the
// builder (core/commands.*), its pending code (core/codes.h), the row and its place in the write
// order (core/rows.cpp); the handler (pages/form2.h and the frame's unit), the controls
// (pages/layout.cpp), the field's place in a read's order (pages/params_view.cpp) and the Apply
// button's spoken name (pages/form2.cpp); the simulator (sim/tracker.cpp); docs/PROFILE.md; and
// the tests' lists of fields (everyField() in tests/tst_fields.cpp, tests/tst_field_table.cpp).
// Leaving one out fails the build, the start-up check or one of those tests.
namespace fields {

// What a text must look like so that the command carries it whole and the tracker's dump gives it
// back unchanged.
struct Form {
    QString key;          // the field's key ("gprs.apn", "fences.2.coordinate")
    QString shape;        // for people: "three digits (\"030\"), \"000\" for off"
    int maxLength = 0;
    QString pattern;      // the whole text must match this (empty: any printable ASCII)
    QString separators;   // characters that would split the command or the dump
    int maxValue = -1;    // for numbers: the largest the tracker keeps (-1: no bound)
    QString range;        // how the bound reads in a message ("000 to 250")
    // What the tracker holds after the window's row sends an empty box ("000" for an interval:
    // the row turns it off); empty when it holds "" again.
    QString emptyHeld = {};
};

// The text the tracker holds once `text` of field `key` was written: `text` itself, or for an
// empty box what its row sends for it. Verify expects this.
QString held(const QString& key, const QString& text);

// Where the parameter dump (the reply to "SETG") carries a field, in the dump's order; the window
// shows a read in this order too.
enum class Dump {
    Numbers,     // the numbers between the letters "A" to "H"
    Texts,       // the texts after the numbers, up to the server's port
    Odometer,    // after the first line end
    Block,       // the pairs after "ord:"
    Http,        // "HP:"
    Identity,    // "IMEI:"
    Fences,      // the five fence lines and their pairs
    Condor,      // the two pairs only a Condor's dump has
    Speed,       // "ed:" and what follows it
    Password,    // "word:" and the local time after it
    None,        // no dump carries it
};

// Typed access to a field's member: nullptr when its group is absent and `make` is false; with
// `make`, the group is made present first.
template <class T> using Member = std::optional<T>* (*)(bulk::Params&, bool make);
using Access = std::variant<Member<QString>, Member<bool>, Member<bulk::IntervalUnit>, Member<bulk::Level>,
                            Member<bulk::ArmFunction>, Member<bulk::LineFunction>, Member<bulk::FenceSide>,
                            Member<bulk::LockType>, Member<bulk::InputTel>, Member<bulk::SosOutTel>>;

struct Field {
    QString key;              // "gprs.apn", "telephones.3", "fences.2.side"
    Access member;
    // The controls that show it (design names): a text's box or combo box; a choice's option
    // buttons, one per value in the order of the enum; a fence switch's or side's check box.
    // None: the window does not show the field (the tracker's own on-switches).
    QStringList boxes;
    // The field as the window's messages name it: the label of its row as shown ("ONE TEL",
    // "Over Speed(Km/h)"). Where the label alone would name two fields, what tells them apart
    // follows it ("IP PORT" and "HTTP PORT", "Local T hours", "Cod 2 ON/OFF" beside "Cod 2");
    // a frame's choices take the design caption of their row or frame ("Door-level",
    // "Lock-Select"); the identity drops the label's colon ("HW-Ver").
    QString caption;
    // The name assistive tools read for a text's box, and the label it is told belongs to it
    // (empty: none). Option buttons and check boxes are named by their row (pages/form2.cpp).
    QString spoken;
    QString label;
    Dump dump;
    std::optional<Form> form;   // every text a row sends has one
};

// Every field, in the order of bulk::forEachField(): the groups as bulk::Params declares them.
const std::vector<Field>& all();
const Field* field(const QString& key);

// The caption of a field (see Field::caption); the key itself when no field has it.
QString caption(const QString& key);

// What the entries of `table` lack, one line each; empty when every entry is whole: a member of
// the parameters without an entry, a key twice, no caption, a text box without a spoken name, a
// choice whose option buttons do not match its values, a field that no press of a write sends and
// that is not named as never written, a key a row sends that is no entry, a text a row sends
// without a form or without a box to read it from. Form2's start-up check adds the window's part.
QStringList problems(const std::vector<Field>& table = all());

// The number of values of a choice's enum (its names end there); 2 for a switch, 0 for a text.
template <class T> int valueCount()
{
    if constexpr (std::is_same_v<T, QString>)
        return 0;
    else if constexpr (std::is_same_v<T, bool>)
        return 2;
    else {
        int n = 0;
        while (!bulk::name(T(n)).isEmpty())
            ++n;
        return n;
    }
}

}  // namespace fields

namespace bulk {

// Calls f(key, field) for every field (present or not) of every group present, in the table's
// order; P is Params or const Params, and field is the std::optional member itself.
template <class P, class F>
void forEachField(P& p, F&& f)
{
    // Reading never makes a group present, so the const value is not changed.
    auto& params = const_cast<Params&>(static_cast<const Params&>(p));
    for (const fields::Field& field : fields::all()) {
        std::visit(
            [&](auto member) {
                if (auto* m = member(params, false)) {
                    if constexpr (std::is_const_v<P>)
                        f(field.key, std::as_const(*m));
                    else
                        f(field.key, *m);
                }
            },
            field.member);
    }
}

}  // namespace bulk
