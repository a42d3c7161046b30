#pragma once
#include <QPlainTextEdit>

// The receive monitor Text24: a read-only view of what the tracker sent since the last send. The
// engine keeps the text as received (replies are judged on that); this view shows it with line
// ends as line breaks, other control bytes as a visible mark, runaway lines broken and only the
// newest lines kept, so that a tracker streaming without end neither stalls nor fills the window.
class MonitorView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MonitorView(QWidget* parent = nullptr);

    void putData(const QString& chunk);   // appended; costs in proportion to the chunk
    void replace(const QString& text);    // the whole view becomes `text`
    void showNewest();                    // the caret to the end, the newest text in view

    static constexpr int kLineLength = 512;   // a longer line is broken
    static constexpr int kLines = 2048;       // lines kept: about a megabyte of the newest text

signals:
    void changed();                       // after every put or replace

private:
    QString forView(const QString& text);
    int column_ = 0;   // length of the view's last line, kept across chunks
};
