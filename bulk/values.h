#pragma once
#include "bulk/profile.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// Per-tracker values for a station: a CSV file with one row per IMEI and one column per profile
// key ("imei,telephones.1,gprs.port"); a row's values take the place of the profile's for that
// tracker. The file is checked whole against the profile before any tracker is written.
namespace bulk {

// Far above any fleet (200 trackers with every key are under 200 KiB); a larger file is refused.
constexpr qint64 kValuesMaxBytes = 4 << 20;

struct Values {
    QStringList keys;                          // the columns after "imei", as in the file
    QHash<QString, QStringList> rows;          // IMEI -> its texts, one per key ("" keeps the profile's)

    // The profile with the row of `imei` added; std::nullopt when the file has no row for it.
    std::optional<Profile> profileFor(const QString& imei, const Profile& profile) const;
};

// The file's values, or one message with its line and column ("values.csv: line 4, column 2:
// telephones.1: ..."). Checked: UTF-8 text, a header "imei" followed by profile keys (each once),
// quoting as RFC 4180 says, the same number of cells in every row, no control character but the
// line ends, an IMEI of 1 to 20 digits given once, and every row's profile as a write checks it.
struct ValuesRead {
    std::optional<Values> values;
    QString error;
};
ValuesRead parseValues(const QByteArray& bytes, const Profile& profile);
ValuesRead loadValues(const QString& path, const Profile& profile);

}  // namespace bulk
