#include "archive/ArchivePlace.h"

#include "core/Language.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <memory>
#include <optional>

namespace orvel {

namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

Database openDatabase(const QString& path, int flags) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
  return Database(db);
}

// The first column of the first row of a statement, or nothing when it fails.
std::optional<QString> single(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return std::nullopt;
  std::optional<QString> out;
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) {
    out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
  } else if (rc == SQLITE_DONE) {
    out = QString();
  }
  sqlite3_finalize(statement);
  return out;
}

QString errorOf(sqlite3* db) {
  return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

bool busy(sqlite3* db) {
  const int code = sqlite3_errcode(db) & 0xFF;
  return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

ArchivePlace stay(const QString& oldPath, ArchivePlace::Move move, const QString& detail) {
  return {oldPath, move, detail};
}

}  // namespace

ArchivePlace settleArchive(const QString& oldPath, const QString& newPath) {
  const QFileInfo old(oldPath);
  if (!old.isFile() || QFileInfo::exists(newPath) ||
      old.absoluteFilePath() == QFileInfo(newPath).absoluteFilePath())
    return {newPath, ArchivePlace::Move::None, QString()};
  if (!QDir().mkpath(QFileInfo(newPath).absolutePath()))
    return stay(oldPath, ArchivePlace::Move::Failed,
                QDir::toNativeSeparators(QFileInfo(newPath).absolutePath()));

  Database source = openDatabase(oldPath, SQLITE_OPEN_READWRITE);
  if (!source || sqlite3_errcode(source.get()) != SQLITE_OK)
    return stay(oldPath, ArchivePlace::Move::Failed, errorOf(source.get()));
  sqlite3_busy_timeout(source.get(), 2000);
  // Leaving WAL needs the file to itself: SQLite checkpoints every frame of the -wal file into
  // the database, deletes the -wal file and, on close, the -shm file.
  const std::optional<QString> mode = single(source.get(), "PRAGMA journal_mode = DELETE");
  if (!mode || mode->compare(QLatin1String("delete"), Qt::CaseInsensitive) != 0) {
    const bool held = !mode ? busy(source.get()) : true;
    return stay(oldPath, held ? ArchivePlace::Move::Postponed : ArchivePlace::Move::Failed,
                mode ? QStringLiteral("database is locked") : errorOf(source.get()));
  }
  // No other program writes while the copy is made and the old file removed: a second
  // connection holds the write lock (the copy itself only reads, which that lock allows).
  Database guard = openDatabase(oldPath, SQLITE_OPEN_READWRITE);
  if (!guard || sqlite3_errcode(guard.get()) != SQLITE_OK)
    return stay(oldPath, ArchivePlace::Move::Failed, errorOf(guard.get()));
  sqlite3_busy_timeout(guard.get(), 2000);
  if (!single(guard.get(), "BEGIN IMMEDIATE"))
    return stay(oldPath,
                busy(guard.get()) ? ArchivePlace::Move::Postponed : ArchivePlace::Move::Failed,
                errorOf(guard.get()));
  const auto abandon = [&](ArchivePlace::Move move, const QString& detail, const QString& part) {
    QFile::remove(part);
    single(guard.get(), "ROLLBACK");
    return stay(oldPath, move, detail);
  };

  const QString part = newPath + QStringLiteral(".part");
  QFile::remove(part);
  {
    Database copy = openDatabase(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!copy || sqlite3_errcode(copy.get()) != SQLITE_OK)
      return abandon(ArchivePlace::Move::Failed, errorOf(copy.get()), part);
    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
    if (!backup) return abandon(ArchivePlace::Move::Failed, errorOf(copy.get()), part);
    const int stepped = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (stepped != SQLITE_DONE)
      return abandon(ArchivePlace::Move::Failed, errorOf(copy.get()), part);
    const char* rows =
        "SELECT (SELECT count(*) FROM readouts) || '/' || (SELECT count(*) FROM cars)";
    const std::optional<QString> check = single(copy.get(), "PRAGMA integrity_check");
    const std::optional<QString> copied = single(copy.get(), rows);
    const std::optional<QString> original = single(source.get(), rows);
    if (!check || *check != QLatin1String("ok") || !copied || copied != original)
      return abandon(ArchivePlace::Move::Failed,
                     check && *check != QLatin1String("ok") ? *check : errorOf(copy.get()), part);
  }
  if (!QFile::rename(part, newPath))
    return abandon(ArchivePlace::Move::Failed, QDir::toNativeSeparators(newPath), part);
  single(guard.get(), "ROLLBACK");
  guard.reset();
  source.reset();
  QFile::remove(oldPath);
  return {newPath, ArchivePlace::Move::Moved, QString()};
}

QString carryOverText(const ArchivePlace& place) {
  const QString where = QDir::toNativeSeparators(place.path);
  switch (place.move) {
    case ArchivePlace::Move::None:
      return QString();
    case ArchivePlace::Move::Moved:
      return tr3("Archiwum warsztatu zostało przeniesione z katalogu instalacyjnego do\r\n%1\r\n"
                 "(okna wyboru plików tam nie zaglądają). Skrypty warsztatu powinny odtąd "
                 "czytać ten plik.",
                 "The workshop archive has been moved from the installation folder to\r\n%1\r\n"
                 "(where the file dialogs do not look). Workshop scripts should read that file "
                 "from now on.",
                 "L'archivio dell'officina è stato spostato dalla cartella di installazione a\r\n"
                 "%1\r\n(dove le finestre di scelta dei file non guardano). Gli script "
                 "dell'officina devono ora leggere quel file.")
          .arg(where);
    case ArchivePlace::Move::Postponed:
      return tr3("Archiwum warsztatu nie zostało przeniesione z katalogu instalacyjnego, bo inny "
                 "program ma je otwarte; w tym uruchomieniu program używa go na miejscu\r\n%1\r\n"
                 "i spróbuje je przenieść przy następnym uruchomieniu.\r\nSzczegóły: %2",
                 "The workshop archive was not moved out of the installation folder because "
                 "another program has it open; this run uses it where it is\r\n%1\r\nand the "
                 "next start tries again.\r\nDetails: %2",
                 "L'archivio dell'officina non è stato spostato dalla cartella di installazione "
                 "perché un altro programma lo tiene aperto; in questa esecuzione viene usato "
                 "dov'è\r\n%1\r\ne il prossimo avvio riproverà.\r\nDettagli: %2")
          .arg(where, place.detail);
    case ArchivePlace::Move::Failed:
      return tr3("Archiwum warsztatu nie dało się przenieść z katalogu instalacyjnego; zostaje "
                 "nietknięte i w użyciu na miejscu\r\n%1\r\nSzczegóły: %2",
                 "The workshop archive could not be moved out of the installation folder; it "
                 "stays untouched and in use where it is\r\n%1\r\nDetails: %2",
                 "Non è stato possibile spostare l'archivio dell'officina dalla cartella di "
                 "installazione; resta intatto e in uso dov'è\r\n%1\r\nDettagli: %2")
          .arg(where, place.detail);
  }
  return QString();
}

}  // namespace orvel
