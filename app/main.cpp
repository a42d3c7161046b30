#include "pages/form2.h"
#include "pages/main_window.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane V2.1"));
    QApplication::setApplicationVersion(QStringLiteral("2.1"));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Configures a GPS vehicle tracker over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("profile"),
        QStringLiteral("A profile (.json) to fill the window with at start; nothing is sent."),
        QStringLiteral("[PROFILE]"));
    parser.process(app);

    MainWindow window;
    QObject::connect(&window.form(), &Form2::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    window.start(parser.positionalArguments().value(0));
    return app.exec();
}
