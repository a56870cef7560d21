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

// The lines of a Windows-1250 text file; nothing when the file cannot be read (missing,
// unreadable, a directory).
std::optional<QStringList> readTextLines(const QString& path);

// Writes every line followed by CR LF, replacing the file atomically: a failed or interrupted
// write leaves the previous file as it was. Raises "Cannot create file <path>" on failure.
void writeTextLines(const QString& path, const QStringList& lines);

}  // namespace orvel
