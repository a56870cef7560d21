#pragma once

#include "archive/ArchiveStore.h"

#include <functional>

namespace orvel {

// Keeps read-outs in the archive without ever holding up the work with the controller: a store
// that fails (a read-only folder, a locked file) is told once per program run, and a damaged
// file, moved aside by the store, is told once too.
class ArchiveRecorder {
 public:
  explicit ArchiveRecorder(QString path);

  ArchiveStore& store() { return store_; }
  std::optional<qint64> keep(const CarLines& car, ReadoutSource source, const SettingsBlock& block);
  // After any use of the store: tells what went wrong, once per run for each kind.
  void tellProblems();

 private:
  ArchiveStore store_;
  bool failureTold_ = false;
  bool damageTold_ = false;
};

}  // namespace orvel
