#include "support/rig.h"

void Rig::put(QWidget* widget, const QString& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(widget)) e->setText(text);
    else if (auto* m = qobject_cast<QPlainTextEdit*>(widget)) m->setPlainText(text);
    else if (auto* c = qobject_cast<QComboBox*>(widget)) c->setEditText(text);
}

QString Rig::textOf(QWidget* widget)
{
    if (auto* e = qobject_cast<QLineEdit*>(widget)) return e->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(widget)) return m->toPlainText();
    if (auto* c = qobject_cast<QComboBox*>(widget)) return c->currentText();
    if (auto* b = qobject_cast<QAbstractButton*>(widget)) return b->text();
    return {};
}

void Rig::openPort()
{
    click(QStringLiteral("Command5"));
}
