#pragma once
#include "core/params.h"
#include "core/codes.h"
#include "core/draft.h"

#include <QString>
#include <QStringList>
#include <vector>

// Every command the window sends from a row's "Apply" or a frame's "WRITE", as data: the pending
// code, the reply that acknowledges it, and the builder that makes it from the fields. The window
// and the command-line tool run the same tables through one Runner (link/runner.h).
namespace rows {

// What a builder reads: the fields as they are when the command goes out (the window's boxes are
// read again for every step of a chain, so an edit made meanwhile is what goes out).
struct Fields {
    bulk::Model model = bulk::Model::Petrel;
    bulk::Params params;          // an absent field reads as an empty box / no option selected
    bool writeFuel = false;       // Check1 "Fuel": the other-settings chain sends the fuel table
    bool writePassword = false;   // Check2 "Password": ... and the device password
};

struct Step {
    Code code;
    Draft (*build)(const Fields&);
    QString ack;                                  // the whole reply that acknowledges the command
    bool (*skip)(const Fields&) = nullptr;        // in a chain: passed over when this says so
    // The fields the command carries (keys of bulk::forEachField). A key ending in "?" is sent only
    // in some states (a fence's coordinate while it is on) and may be left out of a profile.
    QStringList fields = {};
};

// A row's "Apply": one command, judged by its acknowledgement.
struct Row {
    const char* button;   // design name of the button ("Command10")
    Step step;
};

// A "WRITE": each step is sent when the one before was acknowledged; the last one's reply gives
// the outcome. When every later step is passed over, the chain ends without a message.
struct Chain {
    const char* button;
    std::vector<Step> steps;
};

const std::vector<Row>& allRows();        // every row of every frame
const std::vector<Chain>& allChains();    // Command2, Command4, Command1, Command36

const Row* row(const QString& button);
const Chain* chain(const QString& button);

// ---- what each field may hold --------------------------------------------------------------

// A field's form: what a text must look like so that the command carries it whole and the
// tracker's dump gives it back unchanged. Declared with the field, in the table of core/fields.cpp.
using Form = fields::Form;

// Every text field a row sends, with its form.
const std::vector<Form>& forms();
const Form* form(const QString& key);

// Why `value` does not fit the form of `key`: empty when it fits, or when the key has no form.
struct Misfit {
    QString problem;   // "is out of range", "holds \",\""
    QString detail;    // "000 to 250"
    explicit operator bool() const { return !problem.isEmpty(); }
};
Misfit misfit(const QString& key, const QString& value);

// A text from a tracker or a profile as a terminal or a message may show it: control characters
// escaped ("\\x1b", "\\r"), a long text cut after `keep` characters with its length. shown()
// quotes it.
QString visible(const QString& text, int keep = 60);
QString shown(const QString& text, int keep = 60);

// ---- the write plan ------------------------------------------------------------------------

// One press of a write, in the window's order: the frames' WRITE chains, then the rows that write
// what no chain does.
struct Press {
    QString group;                       // the profile's group ("gprs", "port" ...)
    const Row* row = nullptr;
    const Chain* chain = nullptr;
    bool (*offered)(bulk::Model) = nullptr;   // the model's window has the button
};
const std::vector<Press>& writeOrder();

// The fields one press sends for these fields (the chain's passed-over steps left out), and
// which of them it may go without.
QStringList sentBy(const Press& press, const Fields& f, QStringList* optional = nullptr);

// Fields of the parameters that no row writes, with the reason, by key prefix.
struct NeverWritten {
    QString key;
    QString why;
};
const std::vector<NeverWritten>& neverWritten();
QString neverWrittenWhy(const QString& key);   // "" when some row writes it

}  // namespace rows
