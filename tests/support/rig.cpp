#include "support/rig.h"

void Rig::put(QWidget* widget, const QString& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(widget)) e->setText(text);
    else if (auto* m = qobject_cast<QPlainTextEdit*>(widget)) m->setPlainText(text);
    else if (auto* c = qobject_cast<QComboBox*>(widget)) c->setEditText(text);
}

void Rig::openPort()
{
    click(QStringLiteral("Command5"));
}
