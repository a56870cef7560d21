#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvel {

// The program's own files (config.cfg, dane.cfg, param.cfg, settings files) are Windows-1250
// text with CR LF line ends, as the fitters' existing files are.
QString decodeCp1250(const QByteArray& bytes);
QByteArray encodeCp1250(const QString& text);

// Splits text into lines at CR LF, LF or CR; a line break at the very end does not start another
// line.
QStringList splitLines(const QString& text);

// What came of reading a file of the program's own.
struct FileContent {
  enum class Failure { None, Missing, NotRegular, TooLarge, Unreadable };
  Failure failure = Failure::None;
  int osError = 0;  // errno of a failed open or read
  QByteArray bytes;
  bool ok() const { return failure == Failure::None; }
};

// The program's own files are small; anything bigger is not one of them.
constexpr qint64 kMaxSmallFileBytes = 64 * 1024;

// Reads a regular file of at most maxBytes. Anything else, a FIFO, a device such as /dev/zero, a
// directory, a socket, is refused without blocking on it or reading it, also when a symlink
// leads there or the file changes between the check and the read.
FileContent readRegularFile(const QString& path, qint64 maxBytes);

// The lines of a Windows-1250 text file; nothing when the file cannot be read (missing,
// unreadable, not a regular file, larger than maxBytes).
std::optional<QStringList> readTextLines(const QString& path, qint64 maxBytes = kMaxSmallFileBytes);

// Writes every line followed by CR LF, replacing the file atomically: a failed or interrupted
// write leaves the previous file as it was. Where the folder cannot take the temporary file (a
// writable file in a read-only installation folder) the file is rewritten in place instead,
// again keeping the old content when that fails. Raises "Cannot create file <path>" when
// neither works.
void writeTextLines(const QString& path, const QStringList& lines);
// The same for text that is already in its final bytes.
void writeFileBytes(const QString& path, const QByteArray& bytes);

}  // namespace orvel
