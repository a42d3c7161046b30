#pragma once
#include "core/params.h"
#include "bulk/profile.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// A record of every tracker written: one JSON line per write, verify, reset (korvane-cli) and per
// Write All and Compare (the window), appended to one file that many processes share. The fields
// are described for the people who query it in docs/RECORD.md.
namespace bulk {

struct RecordEntry {
    QString program;            // "korvane-cli", "korvane"
    QString action;             // "write", "verify", "reset", "compare"
    QString port;               // as given: "COM4", "/dev/ttyUSB0"
    QString device;             // the device path that name opened
    QString adapterSerial;      // the USB adapter's serial number, when the system knows it
    Identity identity;          // from the read-back, when there was one
    std::optional<Model> model;
    QString profileFile;        // the profile's file ("-" for standard input), or empty
    std::optional<Profile> profile;   // its canonical JSON's SHA-256 is recorded
    QString outcome;            // "verified", "differs", "failed", "cancelled", "done"
    QStringList differs;        // with "differs": the keys
    int failedAt = 0;           // with "failed": the 1-based number of the command
    QString failedCommand;
    QString reply;              // with "failed": what came back
    int commandsSent = 0;
};

// SHA-256 of the profile's canonical text (toJson()), hex: the same settings give the same sum
// whatever the file's layout. A record line holds it as profileSha256.
QString profileSum(const Profile& profile);

// The trackers a record holds as verified (a write's read-back or a verify agreed), by IMEI, with
// the sums of the profiles they agreed with. Lines that are no JSON, or cut, are passed over. A
// record that cannot be read gives none, and `error` says why.
QHash<QString, QSet<QString>> verifiedIn(const QString& path, QString* error = nullptr);

// $XDG_STATE_HOME/korvane/record.jsonl, ~/.local/state when XDG_STATE_HOME is unset.
QString recordPath();

// The entry as one line of JSON, with the time (UTC) and the program's version, ending in "\n".
QByteArray recordLine(const RecordEntry& entry);

// Appends the entry's line whole or not at all (appendLine(): lines of processes writing at once
// never interleave, a full disk leaves no part of one, an open never waits for a FIFO's reader);
// the folder is made when missing. Returns "" or a warning for the user: a record that cannot be
// written never changes the outcome it records.
QString appendRecord(const QString& path, const RecordEntry& entry);

// The serial number of the USB adapter behind a device path, when sysfs tells it.
QString adapterSerial(const QString& devicePath);

}  // namespace bulk
