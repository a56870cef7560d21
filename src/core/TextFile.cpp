#include "core/TextFile.h"

#include "core/Dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

FileContent readRegularFile(const QString& path, qint64 maxBytes) {
  using Failure = FileContent::Failure;
  FileContent result;
  const QByteArray native = QFile::encodeName(path);
  // O_NONBLOCK: opening a FIFO for reading must not wait for a writer; the type is checked on
  // the descriptor itself, so nothing can be swapped in after the check.
  const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    result.osError = errno;
    result.failure = errno == ENOENT || errno == ENOTDIR ? Failure::Missing : Failure::Unreadable;
    return result;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    result.osError = errno;
    result.failure = Failure::Unreadable;
    return result;
  }
  if (!S_ISREG(st.st_mode)) {
    result.osError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    result.failure = Failure::NotRegular;
    return result;
  }
  if (st.st_size > maxBytes) {
    result.osError = EFBIG;
    result.failure = Failure::TooLarge;
    return result;
  }
  // The file may grow while it is read; one byte more than allowed is enough to tell.
  QByteArray bytes(static_cast<qsizetype>(maxBytes) + 1, Qt::Uninitialized);
  qsizetype filled = 0;
  while (filled < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
    if (n < 0) {
      if (errno == EINTR) continue;
      result.osError = errno;
      result.failure = Failure::Unreadable;
      return result;
    }
    if (n == 0) break;
    filled += n;
  }
  if (filled > maxBytes) {
    result.osError = EFBIG;
    result.failure = Failure::TooLarge;
    return result;
  }
  bytes.truncate(filled);
  result.bytes = std::move(bytes);
  return result;
}

std::optional<QStringList> readTextLines(const QString& path, qint64 maxBytes) {
  const FileContent content = readRegularFile(path, maxBytes);
  if (!content.ok()) return std::nullopt;
  return splitLines(decodeCp1250(content.bytes));
}

namespace {

// Rewrites an existing regular file in place, for a folder that cannot take the temporary file
// of an atomic replacement. The old content is kept aside and put back when the new one does
// not fit, so a failure leaves the file as it was.
bool writeInPlace(const QString& path, const QByteArray& bytes) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxSmallFileBytes * 16) {
    return false;
  }
  QByteArray old(static_cast<qsizetype>(st.st_size), Qt::Uninitialized);
  if (::pread(fd, old.data(), static_cast<size_t>(old.size()), 0) != old.size()) return false;
  const auto putAt0 = [fd](const QByteArray& b) {
    return ::pwrite(fd, b.constData(), static_cast<size_t>(b.size()), 0) == b.size();
  };
  if (!putAt0(bytes) || ::ftruncate(fd, bytes.size()) != 0 || ::fdatasync(fd) != 0) {
    putAt0(old);
    if (::ftruncate(fd, old.size()) != 0) {
      // Nothing more can be done: the failure reported is the first one.
    }
    return false;
  }
  return true;
}

}  // namespace

void writeFileBytes(const QString& path, const QByteArray& bytes) {
  const auto fail = [&path] { return AppError(QStringLiteral("Cannot create file %1").arg(path)); };
  if (QFileInfo(path).isDir()) throw fail();
  QSaveFile file(path);
  // Unbuffered, so that a write the disk refuses fails here: a buffered one fails only inside
  // commit(), which then still puts the short file in place of the good one.
  if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    if (file.write(bytes) == bytes.size() && file.commit()) return;
    file.cancelWriting();
    throw fail();
  }
  // A folder the user cannot write (a program installed by root) cannot take the temporary
  // file; a file there that the user may write is rewritten in place rather than losing what
  // was to be saved.
  if (!writeInPlace(path, bytes)) throw fail();
}

void writeTextLines(const QString& path, const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) {
    bytes += encodeCp1250(line);
    bytes += "\r\n";
  }
  writeFileBytes(path, bytes);
}

}  // namespace orvel
