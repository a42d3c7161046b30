#include "support/snapshot.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

QStringList snapshot(const QWidget* form)
{
    QStringList out;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith("qt_") || name == "Text24" || name == "Combo2")
            continue;
        QString state;
        if (auto* e = qobject_cast<QLineEdit*>(w))
            state = e->text();
        else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
            state = m->toPlainText();
        else if (auto* c = qobject_cast<QComboBox*>(w))
            state = c->currentText();
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            state = b->text() + (b->isChecked() ? " [x]" : " [ ]");
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            state = g->title() + (g->isVisibleTo(form) ? "" : " hidden");
        else if (auto* l = qobject_cast<QLabel*>(w))
            state = l->text();
        else
            continue;
        out << name + ": " + state;
    }
    out.sort();
    return out;
}
