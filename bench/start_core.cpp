// korvane-bench-core: what any Qt 6 command-line program costs to start and end: a bare
// QCoreApplication that prints a few lines of help, as `korvane-cli --help` does.
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-bench-core"));
    std::fputs("Usage: korvane-bench-core\n\nStarts, prints this and ends.\n", stdout);
    return 0;
}
