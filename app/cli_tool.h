#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// korvane-cli as a function: the arguments in, the exit status out (cli::Status), the profile or
// the differences to `out` (standard output), progress lines and errors to `err` (standard error).
namespace cli {

struct Streams {
    std::function<bool(const QByteArray&)> out;   // false when not all of it was written
    std::function<void(const QString&)> err;      // one line, without its line end
    // Standard input, at most `max` bytes; *ok false when it cannot be read.
    std::function<QByteArray(qint64 max, bool* ok)> in;
    bool outClosed = false;                       // standard output was closed at start
    // Gives the handler that a SIGINT, SIGTERM or SIGHUP calls (with the signal's number) from the
    // event loop; empty where no signal is caught. Until it is given, a signal ends the program at
    // once (nothing has been sent then).
    std::function<void(std::function<void(int)>)> onSignal;
};

int run(const QStringList& arguments, const Streams& streams);

QString helpText();

}  // namespace cli
