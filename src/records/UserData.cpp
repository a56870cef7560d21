#include "records/UserData.h"

#include "core/Language.h"

#include <algorithm>
#include <cerrno>

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
  FileContent content = readRegularFile(path, kMaxFileBytes);
  if (content.ok()) {
    raw_ = splitRawLines(content.bytes);
    everRead_ = true;
  }
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

QString userDataFailureReason(const FileContent& content) {
  using Failure = FileContent::Failure;
  switch (content.failure) {
    case Failure::None:
      return QString();
    case Failure::Missing:
      return tr3("brak pliku", "no such file", "file mancante");
    case Failure::NotRegular:
      return tr3("to nie jest zwykły plik", "not a regular file", "non è un file normale");
    case Failure::TooLarge:
      return tr3("plik większy niż 1 MB", "file larger than 1 MB", "file più grande di 1 MB");
    case Failure::Unreadable:
      break;
  }
  if (content.osError == EACCES || content.osError == EPERM)
    return tr3("brak prawa odczytu", "no permission to read it", "lettura non permessa");
  return tr3("błąd odczytu %1", "read error %1", "errore di lettura %1").arg(content.osError);
}

QString userDataFallbackText(const QString& path, const FileContent& content) {
  return tr3("Nie odczytano %1 (%2): użyto zapamiętanych danych warsztatu",
             "%1 not read (%2): the workshop data kept in memory were used",
             "%1 non letto (%2): usati i dati dell'officina memorizzati")
      .arg(path, userDataFailureReason(content));
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
