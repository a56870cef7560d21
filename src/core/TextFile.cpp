#include "core/TextFile.h"

#include "core/Dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace orvel {

namespace {
constexpr const char* kCodePage = "windows-1250";
}

QString decodeCp1250(const QByteArray& bytes) {
  QStringDecoder decoder(kCodePage);
  if (!decoder.isValid()) return QString::fromLatin1(bytes);
  return decoder.decode(bytes);
}

QByteArray encodeCp1250(const QString& text) {
  QStringEncoder encoder(kCodePage);
  if (!encoder.isValid()) return text.toLatin1();
  return encoder.encode(text);
}

QStringList splitLines(const QString& text) {
  QStringList lines;
  QString current;
  const int n = static_cast<int>(text.size());
  for (int i = 0; i < n; ++i) {
    const QChar c = text.at(i);
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      lines << current;
      current.clear();
      if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
    } else {
      current += c;
    }
  }
  if (!current.isEmpty()) lines << current;
  return lines;
}

std::optional<QStringList> readTextLines(const QString& path) {
  if (QFileInfo(path).isDir()) return std::nullopt;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return splitLines(decodeCp1250(bytes));
}

void writeTextLines(const QString& path, const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) {
    bytes += encodeCp1250(line);
    bytes += "\r\n";
  }
  QSaveFile file(path);
  const bool ok = !QFileInfo(path).isDir() && file.open(QIODevice::WriteOnly) &&
                  file.write(bytes) == bytes.size() && file.commit();
  if (!ok) throw AppError(QStringLiteral("Cannot create file %1").arg(path));
}

}  // namespace orvel
