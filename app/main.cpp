#include "pages/form2.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane V2.1"));
    QApplication::setApplicationVersion(QStringLiteral("2.1"));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));

    Form2 window;
    QObject::connect(&window, &Form2::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}
