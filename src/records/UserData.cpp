#include "records/UserData.h"

#include <algorithm>

namespace orvel {

UserData::UserData() : raw_(kLineCount - 1) {}

QList<QByteArray> splitRawLines(const QByteArray& bytes) {
  QList<QByteArray> lines;
  const qsizetype n = bytes.size();
  qsizetype start = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const char c = bytes.at(i);
    if (c != '\r' && c != '\n') continue;
    lines << bytes.mid(start, i - start);
    if (c == '\r' && i + 1 < n && bytes.at(i + 1) == '\n') ++i;
    start = i + 1;
  }
  if (start < n) lines << bytes.mid(start);
  return lines;
}

FileContent UserData::load(const QString& path) {
  FileContent content = readRegularFile(path, kMaxSmallFileBytes);
  if (content.ok()) raw_ = splitRawLines(content.bytes);
  return content;
}

QString UserData::line(int index) const {
  if (index < 0 || index >= size()) return QString();
  return decodeCp1250(raw_.at(index));
}

QStringList UserData::lines(int count) const {
  QStringList out;
  for (int i = 0; i < count; ++i)
    out << line(i);
  return out;
}

void UserData::setLine(int index, const QString& text) {
  if (index < 0) return;
  while (size() <= index)
    raw_.append(QByteArray());
  if (decodeCp1250(raw_.at(index)) == text) return;
  raw_[index] = encodeCp1250(text);
}

void UserData::save(const QString& path) const {
  QByteArray bytes;
  for (int i = 0; i < std::max(size(), kLineCount); ++i) {
    if (i < size()) bytes += raw_.at(i);
    bytes += "\r\n";
  }
  writeFileBytes(path, bytes);
}

}  // namespace orvel
