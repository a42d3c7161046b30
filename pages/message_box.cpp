#include "pages/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace {

int showBox(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(parent);
    box.setIcon(QMessageBox::NoIcon);
    // The window's own caption, whatever the process is called.
    box.setWindowTitle(parent && !parent->window()->windowTitle().isEmpty() ? parent->window()->windowTitle()
                                                                          : QApplication::applicationName());
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setStandardButtons(buttons);
    box.setDefaultButton(QMessageBox::Ok);
    if (buttons & QMessageBox::Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    return box.exec();
}

}  // namespace

void MessageBoxPrompt::inform(const QString& text)
{
    showBox(parent_, text, QMessageBox::Ok);
}

bool MessageBoxPrompt::ask(const QString& text)
{
    // Closing the box counts as Cancel.
    return showBox(parent_, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}
