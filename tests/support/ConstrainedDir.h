#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace orvel::test {

// A folder in which writing fails in a chosen way, also for root (as CI runs): as root it is a
// small tmpfs of its own, remounted read-only or filled up; otherwise plain permissions do.
// Files put in with addFile() before constrain() keep their content and, except on a read-only
// folder, stay writable in place.
class ConstrainedDir {
 public:
  enum class Kind {
    ReadOnly,    // nothing in it can be written
    NoNewFiles,  // existing files can be rewritten in place, no file can be added
    Full,        // no space left: files can be created but not filled
  };

  ConstrainedDir();
  ~ConstrainedDir();
  ConstrainedDir(const ConstrainedDir&) = delete;
  ConstrainedDir& operator=(const ConstrainedDir&) = delete;

  // Empty when the folder could not be set up; then error() says why.
  QString path() const { return ok_ ? root_ : QString(); }
  QString error() const { return error_; }
  QString filePath(const QString& name) const { return root_ + QLatin1Char('/') + name; }

  bool addFile(const QString& name, const QByteArray& bytes);
  // Applies the constraint; false (with error()) when this machine cannot provide it.
  bool constrain(Kind kind);

 private:
  QTemporaryDir base_;
  QString root_;
  bool mounted_ = false;
  bool ok_ = false;
  bool restorePermissions_ = false;
  QString error_;
};

}  // namespace orvel::test
