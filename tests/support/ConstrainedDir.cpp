#include "support/ConstrainedDir.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel::test {

ConstrainedDir::ConstrainedDir() {
  if (!base_.isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return;
  }
  root_ = base_.path() + QStringLiteral("/area");
  if (::mkdir(QFile::encodeName(root_).constData(), 0755) != 0) {
    error_ = QString::fromLocal8Bit(std::strerror(errno));
    return;
  }
  if (::geteuid() == 0) {
    // Root ignores permissions; a file system of our own is the only way to make writes fail.
    if (::mount("tmpfs", QFile::encodeName(root_).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                "size=256k,nr_inodes=64,mode=0755") != 0) {
      error_ = QStringLiteral("cannot mount a tmpfs as root: %1")
                   .arg(QString::fromLocal8Bit(std::strerror(errno)));
      return;
    }
    mounted_ = true;
  }
  ok_ = true;
}

ConstrainedDir::~ConstrainedDir() {
  if (mounted_) ::umount2(QFile::encodeName(root_).constData(), MNT_DETACH);
  if (restorePermissions_) ::chmod(QFile::encodeName(root_).constData(), 0755);
}

bool ConstrainedDir::addFile(const QString& name, const QByteArray& bytes) {
  QFile f(filePath(name));
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool ConstrainedDir::constrain(Kind kind) {
  if (!ok_) return false;
  const QByteArray root = QFile::encodeName(root_);
  if (!mounted_) {
    if (kind == Kind::Full) {
      error_ = QStringLiteral("a full file system needs root here");
      return false;
    }
    // A folder the user cannot write; its files stay writable unless the folder must be
    // read-only as a whole.
    if (kind == Kind::ReadOnly) {
      for (const QString& n : QDir(root_).entryList(QDir::Files))
        ::chmod(QFile::encodeName(filePath(n)).constData(), 0444);
    }
    restorePermissions_ = true;
    return ::chmod(root.constData(), 0555) == 0;
  }
  switch (kind) {
    case Kind::ReadOnly:
      if (::mount(nullptr, root.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
      }
      return true;
    case Kind::NoNewFiles:
      // Use up the inodes: existing files can still be written, new ones cannot be created.
      for (int i = 0;; ++i) {
        const int fd = ::open(QFile::encodeName(filePath(QStringLiteral(".fill%1").arg(i))),
                              O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0) return errno == ENOSPC;
        ::close(fd);
      }
    case Kind::Full: {
      const int fd = ::open(QFile::encodeName(filePath(QStringLiteral(".fill"))).constData(),
                            O_WRONLY | O_CREAT | O_EXCL, 0600);
      if (fd < 0) return false;
      const QByteArray block(4096, 'x');
      while (::write(fd, block.constData(), static_cast<size_t>(block.size())) > 0) {
      }
      const bool full = errno == ENOSPC;
      ::close(fd);
      return full;
    }
  }
  return false;
}

}  // namespace orvel::test
