#include "support/dialogs.h"

#include <QAbstractButton>
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
        shownAtMs << seenAt_;
    }
    if (clock.elapsed() - seenAt_ < pressDelayMs)
        return;
    QAbstractButton* press = box->button(QMessageBox::Ok);
    if (box->button(QMessageBox::Cancel) && !answers.isEmpty() && !answers.takeFirst())
        press = box->button(QMessageBox::Cancel);
    current_ = nullptr;
    press->click();
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
