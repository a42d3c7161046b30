// korvane-bench-window: starts exactly as app/main.cpp does and reports when the window has been
// shown and painted for the first time (see shown_probe.h). Run by korvane-bench, headless.
#include "pages/form2.h"
#include "pages/main_window.h"
#include "shown_probe.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane V2.1"));
    QApplication::setApplicationVersion(QStringLiteral("2.1"));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));

    MainWindow window;
    QObject::connect(&window.form(), &Form2::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    ShownProbe probe(&window);
    window.start(QString());
    return app.exec();
}
