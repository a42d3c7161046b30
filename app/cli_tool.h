#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// korvane-cli as a function: the arguments in, the exit status out (cli::Status), the profile or
// the differences to `out` (standard output), progress lines and errors to `err` (standard error).
namespace cli {

struct Streams {
    std::function<void(const QByteArray&)> out;
    std::function<void(const QString&)> err;   // one line, without its line end
};

int run(const QStringList& arguments, const Streams& streams);

QString helpText();

}  // namespace cli
