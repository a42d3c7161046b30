#include "support/hands.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <QTest>
#include <QToolTip>

namespace {

// Where a person aims: the box of an option or check box (a click beside its caption misses it),
// the middle of anything else.
QPoint aimAt(QWidget* w)
{
    QStyle::SubElement element = QStyle::SE_CustomBase;
    if (qobject_cast<QRadioButton*>(w))
        element = QStyle::SE_RadioButtonIndicator;
    else if (qobject_cast<QCheckBox*>(w))
        element = QStyle::SE_CheckBoxIndicator;
    if (element == QStyle::SE_CustomBase)
        return w->rect().center();
    QStyleOptionButton option;
    option.initFrom(w);
    return w->style()->subElementRect(element, &option, w).center();
}

}  // namespace

bool Hands::show()
{
    window_->show();
    window_->activateWindow();
    return QTest::qWaitForWindowActive(window_);
}

QWidget* Hands::at(const QString& name) const
{
    QWidget* w = window_->findChild<QWidget*>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

void Hands::click(const QString& name)
{
    click(at(name));
}

// While a message box is open nothing else of the program takes a click or a key.
static void mustReach(QWidget* w)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != w->window())
        qFatal("%s cannot be reached: a message box is open", qPrintable(w->objectName()));
}

void Hands::click(QWidget* w)
{
    mustReach(w);
    // A click on a window that is not active (a message box just closed) makes it active first.
    if (!w->window()->isActiveWindow()) {
        w->window()->activateWindow();
        if (!QTest::qWaitForWindowActive(w->window()))
            qFatal("the window of %s does not become active", qPrintable(w->objectName()));
    }
    const QPoint local = aimAt(w);
    // The click goes to what is drawn at that point: a hidden or covered control is not reached.
    QWidget* top = w->window();
    QWidget* hit = top->childAt(w->mapTo(top, local));
    if (!w->isVisible() || !(hit == w || w->isAncestorOf(hit)))
        qFatal("%s cannot be clicked: %s is there", qPrintable(w->objectName()),
               hit ? qPrintable(hit->objectName()) : "nothing");
    QTest::mouseClick(hit, Qt::LeftButton, Qt::NoModifier, hit->mapFrom(w, local));
}

void Hands::type(const QString& name, const QString& text)
{
    click(name);
    key(Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        key(Qt::Key_Delete);
    else
        keys(text);
}

void Hands::keys(const QString& text)
{
    mustReach(focus());
    QTest::keyClicks(focus(), text);
}

void Hands::key(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    mustReach(focus());
    QTest::keyClick(focus(), key, modifiers);
}

void Hands::tab(int times)
{
    for (int i = 0; i < times; ++i)
        key(Qt::Key_Tab);
}

namespace {

// Opens a combo box's list with the mouse on its arrow, and waits until a person could choose in it.
QAbstractItemView* openList(QComboBox* combo)
{
    // The arrow sits at the right end of the box.
    const QPoint arrow(combo->width() - 6, combo->height() / 2);
    QTest::mouseClick(combo, Qt::LeftButton, Qt::NoModifier, arrow);
    QAbstractItemView* list = combo->view();
    if (!QTest::qWaitFor([list] { return list->isVisible(); }, 2000))
        qFatal("the list of %s did not open", qPrintable(combo->objectName()));
    // A list ignores a release that comes sooner than a double click after it opened; a person
    // takes that long to find the entry anyway.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    return list;
}

// The mouse moved onto a point, no button held.
void hover(QWidget* w, QPoint point)
{
    QMouseEvent move(QEvent::MouseMove, point, w->mapToGlobal(point), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

QRect entryRect(QComboBox* combo, const QString& entry)
{
    const int row = combo->findText(entry, Qt::MatchExactly);
    if (row < 0)
        qFatal("%s has no entry %s", qPrintable(combo->objectName()), qPrintable(entry));
    return combo->view()->visualRect(combo->model()->index(row, 0));
}

}  // namespace

void Hands::pick(const QString& comboName, const QString& entry)
{
    auto* combo = qobject_cast<QComboBox*>(at(comboName));
    QAbstractItemView* list = openList(combo);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, entryRect(combo, entry).center());
    if (!QTest::qWaitFor([list] { return !list->isVisible(); }, 2000))
        qFatal("the list of %s stayed open", qPrintable(comboName));
}

QString Hands::tipOfEntry(const QString& comboName, const QString& entry)
{
    auto* combo = qobject_cast<QComboBox*>(at(comboName));
    QAbstractItemView* list = openList(combo);
    const QPoint point = entryRect(combo, entry).center();
    hover(list->viewport(), point);
    // The mouse at rest over the entry: what the platform then asks the list for.
    QHelpEvent rest(QEvent::ToolTip, point, list->viewport()->mapToGlobal(point));
    QApplication::sendEvent(list->viewport(), &rest);
    const QString tip = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    QTest::keyClick(list, Qt::Key_Escape);
    if (!QTest::qWaitFor([list] { return !list->isVisible(); }, 2000))
        qFatal("the list of %s stayed open", qPrintable(comboName));
    return tip;
}

QString Hands::tipOf(QWidget* widget, QPoint point)
{
    mustReach(widget);
    if (point.isNull())
        point = widget->rect().center();
    hover(widget, point);
    QHelpEvent rest(QEvent::ToolTip, point, widget->mapToGlobal(point));
    QApplication::sendEvent(widget, &rest);
    const QString tip = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return tip;
}

QString shownTip(const QString& tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

QString shownText(const QLabel* label)
{
    const bool markup = label->textFormat() == Qt::RichText ||
                        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    return markup ? shownTip(QStringLiteral("<qt>") + label->text()) : label->text();
}

void Hands::click(QAbstractItemView* view, const QModelIndex& index)
{
    mustReach(view);
    const QRect item = view->visualRect(index);
    if (!view->isVisible() || item.isEmpty())
        qFatal("the entry of %s cannot be clicked", qPrintable(view->objectName()));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
}

QWidget* Hands::focus() const
{
    // An open list takes the keys while it is shown.
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    // After a message box closes, the window gets its focus back a moment later.
    if (!QApplication::focusWidget()) {
        if (!QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 1000)) {
            window_->activateWindow();
            (void)QTest::qWaitForWindowActive(window_);
        }
    }
    QWidget* f = QApplication::focusWidget();
    if (!f)
        qFatal("nothing has the keyboard focus");
    return f;
}
