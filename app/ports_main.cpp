// korvane-ports: which serial devices are present, which device each COM number stands for, and
// linking a COM number to a USB-serial adapter. The work is in ports/ports.cpp.
#include "ports/ports.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-ports"));

    const portstool::Result r = portstool::run(app.arguments().mid(1));
    std::fputs(r.out.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    std::fputs(r.err.toLocal8Bit().constData(), stderr);
    return r.code;
}
