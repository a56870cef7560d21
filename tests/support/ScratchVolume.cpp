#include "support/ScratchVolume.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <csignal>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel::test {

ScratchVolume::ScratchVolume(int kilobytes) {
  const QByteArray where = QFile::encodeName(dir_.path());
  // Few inodes, so that blockNewFiles() can use them up.
  const QByteArray options =
      QByteArray("size=") + QByteArray::number(kilobytes) + "k,nr_inodes=64,mode=0755";
  mounted_ =
      ::mount("tmpfs", where.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0;
}

ScratchVolume::~ScratchVolume() {
  if (limited_) ::setrlimit(RLIMIT_FSIZE, &savedLimit_);
  if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
  if (chmodded_) {
    ::chmod(QFile::encodeName(dir_.path()).constData(), 0700);
  }
}

bool ScratchVolume::makeReadOnly() {
  const QByteArray where = QFile::encodeName(dir_.path());
  if (mounted_) {
    return ::mount("tmpfs", where.constData(), "tmpfs",
                   MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
  }
  QDirIterator it(dir_.path(), QDir::Files);
  while (it.hasNext())
    ::chmod(QFile::encodeName(it.next()).constData(), 0444);
  chmodded_ = ::chmod(where.constData(), 0555) == 0;
  return chmodded_ && ::geteuid() != 0;
}

bool ScratchVolume::blockNewFiles() {
  if (mounted_) {
    for (int i = 0;; ++i) {
      QFile inode(file(QStringLiteral(".inode%1").arg(i)));
      if (!inode.open(QIODevice::WriteOnly)) return inode.exists() || i > 0;
    }
  }
  const QByteArray where = QFile::encodeName(dir_.path());
  chmodded_ = ::chmod(where.constData(), 0555) == 0;
  return chmodded_ && ::geteuid() != 0;
}

void ScratchVolume::fill(qint64 spareBytes) {
  if (mounted_) {
    QFile filler(file(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
    const QByteArray block(4096, 'x');
    while (filler.write(block) > 0) {
    }
    // The last partial block too, byte by byte.
    while (filler.write("x", 1) == 1) {
    }
    return;
  }
  // A write past the limit fails with EFBIG instead of raising SIGXFSZ.
  std::signal(SIGXFSZ, SIG_IGN);
  ::getrlimit(RLIMIT_FSIZE, &savedLimit_);
  rlimit tight = savedLimit_;
  tight.rlim_cur = static_cast<rlim_t>(spareBytes);
  limited_ = ::setrlimit(RLIMIT_FSIZE, &tight) == 0;
}

QString pathUnderAFile(const QTemporaryDir& dir) {
  const QString blocker = dir.path() + QStringLiteral("/regular-file");
  QFile f(blocker);
  if (f.open(QIODevice::WriteOnly)) f.write("x");
  return blocker + QStringLiteral("/folder");
}

}  // namespace orvel::test
