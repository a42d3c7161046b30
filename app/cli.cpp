// korvane-cli: the window's read, write and reset without a display, for scripts and for writing
// one profile to many trackers. The work is in cli/.
#include "app/cli_tool.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-cli"));

    cli::Streams streams;
    streams.out = [](const QByteArray& bytes) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
    };
    streams.err = [](const QString& line) {
        std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    };
    return cli::run(app.arguments().mid(1), streams);
}
