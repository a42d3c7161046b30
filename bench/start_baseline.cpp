// korvane-bench-baseline: what any Qt 6 window of the same size with the same controls costs to
// start. Plain widgets of the window's kinds, in the window's numbers, laid out on a grid: default
// font, no names, no connections, no serial port. Reports like korvane-bench-window.
//
//   korvane-bench-baseline <width> <height> <frames> <labels> <texts> <memos> <combos> <buttons>
//                          <checks> <options>
#include "shown_probe.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstdlib>
#include <functional>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 11)
        return 2;
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Baseline"));
    window.setFixedSize(width, height);

    const std::function<QWidget*(QWidget*, int)> makers[] = {
        [](QWidget* p, int i) { return new QGroupBox(QStringLiteral("Frame %1").arg(i), p); },
        [](QWidget* p, int i) { return new QLabel(QStringLiteral("Label %1").arg(i), p); },
        [](QWidget* p, int) { return new QLineEdit(p); },
        [](QWidget* p, int) { return new QPlainTextEdit(p); },
        [](QWidget* p, int) {
            auto* combo = new QComboBox(p);
            combo->setEditable(true);   // the window's combo boxes are editable (one more child each)
            return combo;
        },
        [](QWidget* p, int i) { return new QPushButton(QStringLiteral("Button %1").arg(i), p); },
        [](QWidget* p, int i) { return new QCheckBox(QStringLiteral("Check %1").arg(i), p); },
        [](QWidget* p, int i) { return new QRadioButton(QStringLiteral("Option %1").arg(i), p); },
    };
    int total = 0;
    for (int k = 0; k < 8; ++k)
        total += std::atoi(argv[3 + k]);
    const int columns = 12;
    const int rows = (total + columns - 1) / columns;
    const int cellW = width / columns;
    const int cellH = qMax(1, height / qMax(1, rows));
    int n = 0;
    for (int k = 0; k < 8; ++k) {
        for (int i = 0, count = std::atoi(argv[3 + k]); i < count; ++i, ++n) {
            QWidget* w = makers[k](&window, n);
            w->setGeometry((n % columns) * cellW, (n / columns) * cellH, cellW - 2, cellH - 2);
        }
    }

    ShownProbe probe(&window);
    window.show();
    return app.exec();
}
