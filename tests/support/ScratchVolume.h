#pragma once

#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace orvel::test {

// A small folder in which writes fail for real, for root too (the suite runs as root in CI):
// where this process may mount, a tmpfs of its own that can be made read-only or filled up.
// Without that, a read-only folder is made by permissions (which root ignores: see
// makeReadOnly()) and a full disk by a file-size limit on this process.
class ScratchVolume {
 public:
  explicit ScratchVolume(int kilobytes = 256);
  ~ScratchVolume();
  ScratchVolume(const ScratchVolume&) = delete;
  ScratchVolume& operator=(const ScratchVolume&) = delete;

  QString path() const { return dir_.path(); }
  QString file(const QString& name) const { return path() + QLatin1Char('/') + name; }
  bool mounted() const { return mounted_; }

  // No file in the folder can be created, changed or removed any more. False when that cannot
  // be made to hold for this process (root without the right to mount).
  bool makeReadOnly();
  // Files already in the folder stay writable in place, but no file can be added (a folder a
  // program installed by root keeps its files in). False where that cannot be made to hold.
  bool blockNewFiles();
  // Not one more byte can be written in the folder. Without a mount the limit holds for every
  // file this process writes anywhere: files of up to spareBytes then still fit.
  void fill(qint64 spareBytes = 16);

 private:
  QTemporaryDir dir_;
  bool mounted_ = false;
  bool limited_ = false;
  bool chmodded_ = false;
  rlimit savedLimit_{};
};

// A folder name that cannot exist for anyone: it lies under a regular file.
QString pathUnderAFile(const QTemporaryDir& dir);

}  // namespace orvel::test
