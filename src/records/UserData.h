#pragma once

#include "core/TextFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace orvel {

// dane.cfg: the workshop's data (lines 0..4), a short field of its own (line 5) and the two car
// lines (6, 7) that head the printed report, Windows-1250 with CR LF.
//
// The store keeps every line as the bytes it was read as. Lines 0..5 come with the installation
// and are never rewritten with new content, so they go back to the file byte for byte even where
// a byte has no meaning in the code page; a line set to the text it already shows keeps its
// bytes too. Lines past the eighth are carried through as well.
class UserData {
 public:
  static constexpr int kLineCount = 8;
  static constexpr int kCarLine1 = 6;
  static constexpr int kCarLine2 = 7;
  // The longest car lines the F2 window takes: what a settings file may name a car by.
  static constexpr int kCarLine1Length = 25;
  static constexpr int kCarLine2Length = 33;
  // A workshop may keep notes past the eighth line; a file up to this size is read whole.
  static constexpr qint64 kMaxFileBytes = 1024 * 1024;

  // Seven empty lines, as the store holds before anything was read.
  UserData();

  // Replaces the store by the file's lines. When the file cannot be read (missing, not a regular
  // file, larger than the program's own files ever are) the store keeps what it held and the
  // failure is returned.
  FileContent load(const QString& path);
  // The store holds lines a dane.cfg gave at some time, the workshop's among them.
  bool everRead() const { return everRead_; }

  // A line past the end reads as empty.
  QString line(int index) const;
  // Lines 0..count-1.
  QStringList lines(int count = kLineCount) const;
  int size() const { return static_cast<int>(raw_.size()); }

  // Puts a text into a line, adding empty lines up to it where the store is shorter.
  void setLine(int index, const QString& text);

  // Writes at least the eight lines, replacing the file atomically; raises "Cannot create file".
  void save(const QString& path) const;

 private:
  QList<QByteArray> raw_;
  bool everRead_ = false;
};

// Why a dane.cfg could not be read, in the interface's language; empty when it could.
QString userDataFailureReason(const FileContent& content);
// "... <file> (<reason>) ...": the status text of a listing made with the stored lines.
QString userDataFallbackText(const QString& path, const FileContent& content);

// Splits bytes into lines at CR LF, LF or CR, as splitLines() does for text.
QList<QByteArray> splitRawLines(const QByteArray& bytes);

}  // namespace orvel
