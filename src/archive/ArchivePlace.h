#pragma once

#include <QString>

namespace orvel {

// Where the archive's database is used this run, and what came of carrying over one that an
// earlier version kept in the installation folder, where the program's file dialogs start.
struct ArchivePlace {
  enum class Move {
    None,       // nothing to carry over
    Moved,      // the old archive is now at its new place, its rows checked
    Postponed,  // another program has the old archive open: it stays in use where it is
    Failed,     // SQLite could not copy it: it stays in use where it is, untouched
  };
  QString path;
  Move move = Move::None;
  QString detail;  // the driver's text when it could not be moved
};

// Carries the archive at oldPath over to newPath once, through SQLite alone: the old file is
// switched out of WAL so that SQLite itself folds its -wal file in and removes it with the -shm
// file, copied page by page under a lock that keeps writers out, the copy checked (integrity,
// rows) and renamed into place, and only then the old file removed. Nothing is moved while
// another program has it open, and an existing file at newPath is never replaced.
ArchivePlace settleArchive(const QString& oldPath, const QString& newPath);

// What the fitter is told about a carry-over, in the interface language; empty for None.
QString carryOverText(const ArchivePlace& place);

}  // namespace orvel
