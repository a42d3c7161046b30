#pragma once
#include <QPoint>
#include <QString>
#include <Qt>

class QAbstractItemView;
class QModelIndex;
class QWidget;

// Operates a shown window only as a technician can: a mouse click where the control is drawn (it
// must be visible, on top and enabled there, or the click lands elsewhere as it would for a
// person), keys into whatever holds the focus, focus moved by clicks and Tab.
class Hands {
public:
    explicit Hands(QWidget* window) : window_(window) {}

    bool show();                                   // shows the window and waits until it is active
    QWidget* at(const QString& name) const;        // the window's control of that design name

    void click(const QString& name);               // the left button on the control
    void click(QWidget* widget);
    void type(const QString& name, const QString& text);   // click into a box, replace its text
    void keys(const QString& text);                // into the focused widget
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void tab(int times = 1);
    // The port box's list: opened with the mouse on its arrow, the entry clicked.
    void pick(const QString& comboName, const QString& entry);
    // The tooltip shown while the mouse rests on an entry of a combo box's opened list; the list
    // is closed again with Escape.
    QString tipOfEntry(const QString& comboName, const QString& entry);
    // The tooltip shown while the mouse rests on a widget (at its middle, or at `point`).
    QString tipOf(QWidget* widget, QPoint point = {});
    // A click on an entry of a list or table.
    void click(QAbstractItemView* view, const QModelIndex& index);
    QWidget* focus() const;

private:
    QWidget* window_;
};

class QLabel;

// What a person reads: a label's or tooltip's text as Qt draws it, markup taken for markup where Qt
// takes it so (a label or tooltip that looks like markup, unless told it is plain text).
QString shownText(const QLabel* label);
QString shownTip(const QString& tip);
