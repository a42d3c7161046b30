#pragma once
#include <QByteArray>
#include <QString>

// Every file Korvane writes goes through here: a profile saved by the window or by korvane-cli's
// read -o, and the record. What the path names decides how it is written:
// - a regular file (or none yet) is replaced whole, only once every byte is on disk;
// - anything else (a device such as /dev/null, a FIFO, a socket, /dev/stdout or a shell's
//   process substitution) is written into directly. Renaming over it would replace the node
//   itself: /dev/null turned into a regular file, a FIFO's reader left waiting.
// An open never blocks: a FIFO that nobody reads is reported at once, not waited for.
// Each function returns "" on success, else the reason for the user ("cannot be written: ...").
namespace bulk {

// Empty when `path` can be written (its folder exists and is writable, or it is a device or FIFO
// the user may write into; it is no folder); else the reason. For a check before a tracker is read,
// so that a read is not lost.
QString writableFolder(const QString& path);

// A regular file is replaced with `bytes` only once all of them are on disk; else the old file is
// left as it was. Anything else is written into directly.
QString writeWhole(const QString& path, const QByteArray& bytes);

// Appends one line (ending in "\n") so that the file holds it whole or not at all: one write, a
// short one cut back to where the line began; the line starts a line of its own even when the file
// does not end in "\n" (a line cut by a crash). Appends of several processes follow one another
// whole. The file and its folder are made when missing.
QString appendLine(const QString& path, const QByteArray& line);

}  // namespace bulk
