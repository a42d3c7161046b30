#include "pages/monitor_view.h"

#include <QTextBlock>

MonitorView::MonitorView(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setMaximumBlockCount(kLines);
    document()->setDocumentMargin(2);
}

QString MonitorView::forView(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / kLineLength + 1);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r')
            continue;
        if (u == u'\n') {
            out += c;
            column_ = 0;
            continue;
        }
        // A tracker that streams without line ends would otherwise make every append lay out one
        // ever longer line.
        if (column_ >= kLineLength) {
            out += QLatin1Char('\n');
            column_ = 0;
        }
        out += (u < 0x20 && u != u'\t') ? QChar(0xFFFD) : c;
        ++column_;
    }
    return out;
}

void MonitorView::putData(const QString& chunk)
{
    // Inserting at the end never re-sets the whole text; the document drops its oldest lines.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(forView(chunk));
    emit changed();
}

void MonitorView::replace(const QString& text)
{
    column_ = 0;
    setPlainText(forView(text));
    emit changed();
}

void MonitorView::showNewest()
{
    moveCursor(QTextCursor::End);
    ensureCursorVisible();
}
