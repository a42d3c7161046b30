#include "pages/accessible.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace {

// QAccessibleWidget is also the action interface: showing the list is the combo box's action.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QComboBox* combo() const { return static_cast<QComboBox*>(object()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return combo()->currentText();
        const QString own = QAccessibleWidget::text(t);
        // A combo box nobody named is known by what it shows, as Qt would do.
        if (t == QAccessible::Name && own.isEmpty())
            return combo()->currentText();
        return own;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = combo()->isEditable();
        s.expandable = true;
        s.expanded = false;
        return s;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name == showMenuAction() || name == pressAction())
            combo()->showPopup();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* namedComboBoxes(const QString& className, QObject* object)
{
    // Asked when a combo box is first seen, perhaps before it is named, so every plain combo box
    // gets it; one without a name still reads as Qt's would.
    if (className != QLatin1String("QComboBox"))
        return nullptr;
    auto* combo = qobject_cast<QComboBox*>(object);
    return new NamedComboBox(combo);
}

}  // namespace

void installNamedComboBoxes()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(namedComboBoxes);
}

QString shownCaption(const QString& caption)
{
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        shown += caption[i];
    }
    return shown;
}
