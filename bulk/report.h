#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// A station's report: one CSV row per tracker found, for the installer's own records.
namespace bulk {

struct ReportRow {
    QDateTime time;           // when the tracker ended, UTC
    QString port;
    QString imei;
    QString outcome;          // verified, differs, failed, cancelled, skipped, not in values
    QString failedCommand;    // with failed or cancelled: the command it stopped at
    double seconds = 0;
    QString reply;            // with failed: what came back (cut, control characters escaped)
};

// The header and the rows, "\r\n" after each line as RFC 4180 wants. Tracker text is written with
// its control characters escaped ("\x1b") and cut (a flood's reply); a field that holds a comma or
// a quote is quoted, one that begins with "=", "+", "-" or "@" (a spreadsheet would run it as a
// formula) gets an apostrophe before it.
QByteArray reportCsv(const QList<ReportRow>& rows);

// reportCsv() through writeWhole(): "" or the reason it could not be written.
QString writeReport(const QString& path, const QList<ReportRow>& rows);

}  // namespace bulk
