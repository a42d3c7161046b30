// Grabs the real window, menu bar included, laid out for one model, into a PNG (for the README's
// screenshots).
#include "pages/form2.h"
#include "pages/main_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QRadioButton>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane V2.1"));
    QCommandLineParser parser;
    parser.addOption({"model", "Petrel, Condor, Falcon or Harrier.", "name", "Petrel"});
    parser.addOption({"out", "PNG file to write.", "file", "window.png"});
    parser.addOption({"profile", "A profile to show in the window (its model wins).", "file"});
    parser.process(app);

    MainWindow window;
    const QString model = parser.value("model");
    for (auto* option : window.form().findChild<QWidget*>("Frame6")->findChildren<QRadioButton*>())
        if (option->text().compare(model, Qt::CaseInsensitive) == 0)
            option->click();
    window.start(parser.value("profile"));
    QTimer::singleShot(300, &app, [&] {
        const bool ok = window.grab().save(parser.value("out"));
        app.exit(ok ? 0 : 1);
    });
    return app.exec();
}
