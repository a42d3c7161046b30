#pragma once
#include "bulk/params.h"
#include "link/codes.h"
#include "link/draft.h"

#include <QString>
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

}  // namespace rows
