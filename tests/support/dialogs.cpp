#include "support/dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

DialogAnswerer::DialogAnswerer(QObject* parent) : QObject(parent)
{
    clock.start();
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &DialogAnswerer::poll);
    timer_.start();
}

void DialogAnswerer::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    if (box != current_) {
        current_ = box;
        seenAt_ = clock.elapsed();
        texts << box->text();
        titles << box->windowTitle();
        icons << box->icon();
        shownAtMs << seenAt_;
    }
    if (clock.elapsed() - seenAt_ < pressDelayMs)
        return;
    // Answered by key, as a technician does: Enter for OK, Escape for Cancel.
    const bool cancel = box->button(QMessageBox::Cancel) && !answers.isEmpty() && !answers.takeFirst();
    current_ = nullptr;
    QWidget* keys = box->focusWidget() ? box->focusWidget() : box;
    QTest::keyClick(keys, cancel ? Qt::Key_Escape : Qt::Key_Return);
}

bool DialogAnswerer::waitFor(int count, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (texts.size() < count && t.elapsed() < timeoutMs)
        QTest::qWait(5);
    QTest::qWait(20);
    return texts.size() >= count;
}
