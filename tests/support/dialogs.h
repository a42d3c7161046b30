#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Answers the real modal message boxes of the window as a technician would: records each box's
// text and title, and presses Enter (OK), or Escape (Cancel) when the next scripted answer says so.
class DialogAnswerer : public QObject {
    Q_OBJECT
public:
    explicit DialogAnswerer(QObject* parent = nullptr);
    QStringList texts;
    QStringList titles;
    QList<int> icons;                    // QMessageBox::Icon of each box
    QList<qint64> shownAtMs;             // since construction
    QList<bool> answers;                 // for OK/Cancel boxes; OK when none is left
    int pressDelayMs = 0;                // how long a box stays open before it is answered
    QElapsedTimer clock;

    bool waitFor(int count, int timeoutMs);   // until `count` boxes were answered

private:
    void poll();
    QTimer timer_;
    QObject* current_ = nullptr;
    qint64 seenAt_ = 0;
};
