#include "bulk/values.h"

#include "bulk/plan.h"
#include "core/rows.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

namespace bulk {

namespace {

// Far above a fleet a station provisions in one go (20 to 200 trackers); more rows are refused, so
// that checking a hostile file stays short: each row is a profile checked whole, about 0.2 ms for a
// row of two values here, a second for 5000 rows.
constexpr int kValuesMaxRows = 5000;
constexpr int kImeiMaxDigits = 20;

struct Cell {
    QString text;
    int column = 0;   // 1-based, in characters of its line
};
struct Line {
    int number = 0;
    QList<Cell> cells;
};

QString at(int line, int column)
{
    return QStringLiteral("line %1, column %2: ").arg(line).arg(column);
}

// The file cut into lines of cells as RFC 4180 says: cells split by ",", a cell in double quotes
// may hold commas and a doubled quote. A value never spans lines: a line break inside quotes, a
// carriage return alone or any other control character is refused where it stands.
QString split(const QString& text, QList<Line>* lines)
{
    Line line{1, {}};
    Cell cell{QString(), 1};
    int column = 1;
    bool quoted = false, wasQuoted = false;
    const auto endCell = [&] {
        line.cells << cell;
        cell = Cell{QString(), column + 1};
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i, ++column) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    cell.text += c;
                    ++i;
                    ++column;
                } else {
                    quoted = false;
                }
            } else if (u == u'\n' || u == u'\r') {
                return at(line.number, column) + QStringLiteral("a line break inside quotes (a value is one line; is a quote missing?)");
            } else if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
                return at(line.number, column) + QStringLiteral("a control character (%1)").arg(rows::visible(QString(c)));
            } else {
                cell.text += c;
            }
            continue;
        }
        if (c == QLatin1Char(',')) {
            endCell();
        } else if (u == u'\n' || (u == u'\r' && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))) {
            if (u == u'\r')
                ++i;
            endCell();
            lines->append(line);
            line = Line{line.number + 1, {}};
            column = 0;
            cell.column = 1;
        } else if (c == QLatin1Char('"')) {
            if (!cell.text.isEmpty() || wasQuoted)
                return at(line.number, column) + QStringLiteral("a quote inside a value that does not begin with one "
                                                                  "(put the whole value in quotes and double the quote)");
            quoted = wasQuoted = true;
        } else if (u == u'\r') {
            return at(line.number, column) + QStringLiteral("a carriage return without a line feed");
        } else if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            return at(line.number, column) + QStringLiteral("a control character (%1)").arg(rows::visible(QString(c)));
        } else if (wasQuoted) {
            return at(line.number, column) + QStringLiteral("text after a closing quote");
        } else {
            cell.text += c;
        }
    }
    if (quoted)
        return at(line.number, column) + QStringLiteral("the file ends inside quotes (a quote is missing)");
    if (!cell.text.isEmpty() || !line.cells.isEmpty() || wasQuoted) {
        line.cells << cell;
        lines->append(line);
    }
    return {};
}

bool blank(const Line& line)
{
    return std::all_of(line.cells.begin(), line.cells.end(), [](const Cell& c) { return c.text.isEmpty(); });
}

}  // namespace

std::optional<Profile> Values::profileFor(const QString& imei, const Profile& profile) const
{
    const auto row = rows.constFind(imei);
    if (row == rows.constEnd())
        return std::nullopt;
    Profile own = profile;
    for (qsizetype k = 0; k < keys.size(); ++k)
        if (!row->at(k).isEmpty())
            setFieldText(own, keys[k], row->at(k));
    return own;
}

ValuesRead parseValues(const QByteArray& raw, const Profile& profile)
{
    const auto fail = [](const QString& error) { return ValuesRead{std::nullopt, error}; };
    if (raw.size() > kValuesMaxBytes)
        return fail(QStringLiteral("too large for a values file (%1 bytes; at most %2)").arg(raw.size()).arg(kValuesMaxBytes));
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF"))   // as a spreadsheet saves "CSV UTF-8"
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return fail(QStringLiteral("not a values file: the file is not UTF-8 text"));

    QList<Line> lines;
    if (const QString error = split(text, &lines); !error.isEmpty())
        return fail(error);
    lines.removeIf(blank);   // empty lines, and the ",,," rows a spreadsheet leaves
    if (lines.isEmpty())
        return fail(QStringLiteral("the file is empty (it wants a header line: imei,telephones.1,...)"));

    const Line& head = lines.constFirst();
    if (head.cells.constFirst().text != QLatin1String("imei"))
        return fail(at(head.number, 1) + QStringLiteral("the first column must be \"imei\", not %1")
                                             .arg(rows::shown(head.cells.constFirst().text)));
    Values values;
    for (qsizetype k = 1; k < head.cells.size(); ++k) {
        const Cell& c = head.cells[k];
        if (c.text.isEmpty())
            return fail(at(head.number, c.column) + QStringLiteral("a column without a name"));
        if (values.keys.contains(c.text))
            return fail(at(head.number, c.column) + QStringLiteral("%1: given twice; keep one").arg(c.text));
        // The key as a profile holds it, its value checked with each row.
        Profile probe = profile;
        if (const QString error = setFieldText(probe, c.text, QString()); error.contains(QLatin1String("unknown key")))
            return fail(at(head.number, c.column) + rows::visible(error, 200));
        values.keys << c.text;
    }
    if (lines.size() - 1 > kValuesMaxRows)
        return fail(QStringLiteral("%1 rows; a values file holds at most %2").arg(lines.size() - 1).arg(kValuesMaxRows));

    QHash<QString, int> lineOf;   // IMEI -> its line
    for (qsizetype r = 1; r < lines.size(); ++r) {
        const Line& line = lines[r];
        if (line.cells.size() != head.cells.size())
            return fail(at(line.number, line.cells.constLast().column)
                        + QStringLiteral("%1 values where the header names %2 columns")
                              .arg(line.cells.size())
                              .arg(head.cells.size()));
        const QString& imei = line.cells.constFirst().text;
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,%1}$").arg(kImeiMaxDigits));
        if (!digits.match(imei).hasMatch())
            return fail(at(line.number, 1) + QStringLiteral("imei: %1 is no IMEI (1 to %2 digits)")
                                                 .arg(rows::shown(imei))
                                                 .arg(kImeiMaxDigits));
        if (const auto first = lineOf.constFind(imei); first != lineOf.constEnd())
            return fail(at(line.number, 1) + QStringLiteral("imei: %1 is given twice (first on line %2); keep one")
                                                 .arg(imei)
                                                 .arg(*first));
        lineOf.insert(imei, line.number);

        // The row's profile, checked as a write checks one: each value where it stands.
        Profile own = profile;
        QStringList texts;
        for (qsizetype k = 1; k < line.cells.size(); ++k) {
            const Cell& c = line.cells[k];
            texts << c.text;
            if (c.text.isEmpty())
                continue;
            if (const QString error = setFieldText(own, values.keys[k - 1], c.text); !error.isEmpty())
                return fail(at(line.number, c.column) + rows::visible(error, 200));
        }
        const auto columnOf = [&](const QString& key) {
            const qsizetype k = values.keys.indexOf(key);
            if (k >= 0)
                return line.cells[k + 1].column;
            // A field the row leaves to the profile, refused because of one the row gives (a
            // server port without its server): the first value of that group.
            const QString group = key.section(QLatin1Char('.'), 0, 0) + QLatin1Char('.');
            for (qsizetype j = 0; j < values.keys.size(); ++j)
                if (values.keys[j].startsWith(group) && !line.cells[j + 1].text.isEmpty())
                    return line.cells[j + 1].column;
            return 1;
        };
        if (const QString error = checkStructure(own); !error.isEmpty())
            return fail(at(line.number, columnOf(error.section(QLatin1Char(':'), 0, 0))) + rows::visible(error, 200));
        if (own != profile) {
            const std::vector<Refusal> refused = refusals(own);
            if (!refused.empty())
                return fail(at(line.number, columnOf(refused.front().key)) + rows::visible(refused.front().message(), 200));
        }
        values.rows.insert(imei, texts);
    }
    return {values, QString()};
}

ValuesRead loadValues(const QString& path, const Profile& profile)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("cannot be read: %1").arg(file.errorString())};
    // A FIFO or a device has no size: reading stops one byte past the limit.
    const QByteArray bytes = file.read(kValuesMaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, QStringLiteral("cannot be read: %1").arg(file.errorString())};
    return parseValues(bytes, profile);
}

}  // namespace bulk
