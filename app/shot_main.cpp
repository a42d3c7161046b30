// Grabs the real window, menu bar included, laid out for one model, into a PNG (for the README's
// screenshots).
#include "bulk/output_file.h"
#include "pages/form2.h"
#include "pages/main_window.h"

#include <QApplication>
#include <QBuffer>
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
        // Through the one file writer: a PNG replaces the old one whole, or goes into a pipe.
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        const bool grabbed = window.grab().save(&png, "PNG");
        const QString problem = grabbed ? bulk::writeWhole(parser.value("out"), png.data()) : QStringLiteral("no image");
        if (!problem.isEmpty())
            qWarning("%s: %s", qPrintable(parser.value("out")), qPrintable(problem));
        app.exit(problem.isEmpty() ? 0 : 1);
    });
    return app.exec();
}
