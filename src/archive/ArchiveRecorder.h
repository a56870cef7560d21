#pragma once

#include "archive/ArchiveStore.h"
#include "link/Timers.h"

#include <functional>
#include <memory>

namespace orvel {

// Keeps read-outs in the archive without ever holding up the work with the controller and
// without ever losing one: a read-out the database cannot take now (another program holds it in
// a transaction, the file cannot be written) waits, in order, in a small file beside the
// database and in memory, and is written as soon as the database takes it again; a waiting file
// left by an earlier run is written first. The fitter is told, in the interface language with the
// driver's text as a detail, when read-outs start to wait and when they have been written.
class ArchiveRecorder {
 public:
  ArchiveRecorder(QString path, TimerService& timers);
  ~ArchiveRecorder();
  ArchiveRecorder(const ArchiveRecorder&) = delete;
  ArchiveRecorder& operator=(const ArchiveRecorder&) = delete;

  ArchiveStore& store() { return store_; }
  // The read-out's id when it was written at once; nothing when it waits (or the store failed).
  std::optional<qint64> keep(const CarLines& car, ReadoutSource source, const SettingsBlock& block);
  // Read-outs not yet in the database.
  int waiting() const { return static_cast<int>(waiting_.size()); }
  // Tries to write what waits now; true when nothing waits any more.
  bool writeWaiting();
  // A text for the fitter told with the next problems (once).
  void setNotice(const QString& text) { notice_ = text; }
  // After any use of the store: tells what went wrong, once for each kind.
  void tellProblems();

  // A read-out reached the database (at once or after waiting).
  std::function<void(qint64 id)> added;

  // What a failure of the store means, in the interface language, with the driver's text.
  static QString problemText(const ArchiveStore& store);

 private:
  struct Waiting {
    CarLines car;
    ReadoutSource source = ReadoutSource::Read;
    SettingsBlock block{};
    QDateTime takenAt;
  };
  QString waitingFile() const;
  bool saveWaiting();
  void loadWaiting();
  void startRetrying();

  ArchiveStore store_;
  std::vector<Waiting> waiting_;
  std::unique_ptr<TimerService::Handle> retry_;
  QString notice_;
  bool damageTold_ = false;
  int writtenAfterWaiting_ = 0;
};

}  // namespace orvel
