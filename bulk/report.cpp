#include "bulk/report.h"

#include "bulk/output_file.h"
#include "core/rows.h"

namespace bulk {

namespace {

// One field: tracker text with its control characters escaped and cut to a length a cell shows;
// quoted when it holds a comma, a quote or a space at an end; a leading "=", "+", "-" or "@" put
// behind an apostrophe, so that a spreadsheet shows it instead of running it as a formula.
QByteArray field(const QString& raw, int keep = 200)
{
    QString text = rows::visible(raw, keep);
    if (!text.isEmpty() && QStringLiteral("=+-@").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
    if (quote)
        text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    return text.toUtf8();
}

}  // namespace

QByteArray reportCsv(const QList<ReportRow>& rows)
{
    QByteArray csv = "time,port,imei,outcome,failed command,seconds,reply\r\n";
    for (const ReportRow& r : rows) {
        const QList<QByteArray> cells{
            r.time.toUTC().toString(Qt::ISODate).toUtf8(), field(r.port), field(r.imei, 40), field(r.outcome),
            field(r.failedCommand), QByteArray::number(r.seconds, 'f', 1), field(r.reply)};
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i)
                csv += ',';
            csv += cells[i];
        }
        csv += "\r\n";
    }
    return csv;
}

QString writeReport(const QString& path, const QList<ReportRow>& rows)
{
    return writeWhole(path, reportCsv(rows));
}

}  // namespace bulk
