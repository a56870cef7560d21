#include "archive/ArchiveStore.h"

#include "archive/WriteTurns.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

#include <atomic>
#include <vector>

namespace orvel {

namespace {

constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteNotADatabase = 26;

// The schema's versions, each reached from the one before by its own statements, run in one
// transaction with the new user_version. A later version adds its step at the end.
constexpr int kServerIdentityVersion = ArchiveStore::kServerIdentityVersion;

struct MigrationStep {
  int version;
  std::vector<const char*> statements;
};

const std::vector<MigrationStep>& migrationSteps() {
  static const std::vector<MigrationStep> steps{
      // 0 -> 1: a new file.
      {1,
       {"CREATE TABLE IF NOT EXISTS cars("
        "id INTEGER PRIMARY KEY, line1 TEXT NOT NULL, line2 TEXT NOT NULL, UNIQUE(line1, line2))",
        "CREATE TABLE IF NOT EXISTS readouts("
        "id INTEGER PRIMARY KEY, "
        "car_id INTEGER NOT NULL REFERENCES cars(id), "
        "taken_at TEXT NOT NULL, "
        "source TEXT NOT NULL CHECK(source IN ('read', 'import', 'write')), "
        "block BLOB NOT NULL CHECK(length(block) = 37), "
        "note TEXT NOT NULL DEFAULT '')",
        "CREATE INDEX IF NOT EXISTS readouts_by_time ON readouts(taken_at, id, car_id)"}},
      // 1 -> 2: a write the read-back did not confirm gets a source of its own. SQLite cannot
      // change a CHECK in place: the table is rebuilt with its rows and ids. The notes get an
      // index of their own for the list's search.
      {2,
       {"CREATE TABLE readouts_v2("
        "id INTEGER PRIMARY KEY, "
        "car_id INTEGER NOT NULL REFERENCES cars(id), "
        "taken_at TEXT NOT NULL, "
        "source TEXT NOT NULL "
        "CHECK(source IN ('read', 'import', 'write', 'write-unconfirmed')), "
        "block BLOB NOT NULL CHECK(length(block) = 37), "
        "note TEXT NOT NULL DEFAULT '')",
        "INSERT INTO readouts_v2(id, car_id, taken_at, source, block, note) "
        "SELECT id, car_id, taken_at, source, block, note FROM readouts",
        "DROP TABLE readouts", "ALTER TABLE readouts_v2 RENAME TO readouts",
        "CREATE INDEX readouts_by_time ON readouts(taken_at, id, car_id)",
        "CREATE INDEX readouts_with_note ON readouts(id, note) WHERE note <> ''"}},
      // 2 -> 3: identities for the workshop server (addServerIdentity).
      {kServerIdentityVersion, {}},
  };
  return steps;
}

QString nextConnectionName() {
  static std::atomic<int> serial{0};
  return QStringLiteral("orvel-archive-%1").arg(++serial);
}

// A null text binds as NULL, which the columns refuse (and which INSERT OR IGNORE would drop
// without a word): empty lines are stored as empty texts.
QString nonNull(const QString& text) {
  return text.isNull() ? QStringLiteral("") : text;
}

QByteArray blockBytes(const SettingsBlock& block) {
  return QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<int>(block.size()));
}

}  // namespace

QString sourceCode(ReadoutSource source) {
  switch (source) {
    case ReadoutSource::Read:
      return QStringLiteral("read");
    case ReadoutSource::Import:
      return QStringLiteral("import");
    case ReadoutSource::Write:
      return QStringLiteral("write");
    case ReadoutSource::WriteUnconfirmed:
      return QStringLiteral("write-unconfirmed");
  }
  return QString();
}

std::optional<ReadoutSource> sourceFromCode(const QString& code) {
  for (ReadoutSource s : {ReadoutSource::Read, ReadoutSource::Import, ReadoutSource::Write,
                          ReadoutSource::WriteUnconfirmed})
    if (sourceCode(s) == code) return s;
  return std::nullopt;
}

ArchiveStore::ArchiveStore(QString path)
    : path_(std::move(path)), connection_(nextConnectionName()) {}

ArchiveStore::~ArchiveStore() {
  close();
}

bool ArchiveStore::isOpen() const {
  return db_ && db_->isOpen();
}

void ArchiveStore::close() {
  addCar_.reset();
  findCar_.reset();
  addReadout_.reset();
  if (db_) {
    db_->close();
    db_.reset();
    QSqlDatabase::removeDatabase(connection_);
  }
}

bool ArchiveStore::fail(const QString& what, const QString& detail, const QString& nativeCode) {
  error_ = detail.isEmpty() ? what : what + QStringLiteral(": ") + detail;
  detail_ = detail.isEmpty() ? what : detail;
  switch (nativeCode.toInt() & 0xFF) {
    case kSqliteBusy:
    case kSqliteLocked:
      failure_ = StoreFailure::Busy;
      break;
    case kSqliteReadOnly:
    case kSqliteCantOpen:
      failure_ = StoreFailure::ReadOnly;
      break;
    default:
      failure_ = StoreFailure::Other;
  }
  return false;
}

void ArchiveStore::setLockWait(int ms) {
  if (ms == lockWaitMs_) return;
  lockWaitMs_ = ms;
  if (!isOpen()) return;
  QSqlQuery q(*db_);
  q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(ms));
}

bool ArchiveStore::damaged(const QString& nativeCode) const {
  const int code = nativeCode.toInt() & 0xFF;
  return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

bool ArchiveStore::open() {
  if (!isOpen()) openFile();
  return isOpen();
}

bool ArchiveStore::openFile() {
  const QFileInfo info(path_);
  // Only a regular file is ever opened: a folder or a device of that name is left alone.
  if (info.exists() && !info.isFile()) return fail(path_, QStringLiteral("not a regular file"));
  failure_ = StoreFailure::None;
  db_ = std::make_unique<QSqlDatabase>(
      QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_));
  db_->setDatabaseName(path_);
  if (!db_->open()) {
    const QSqlError e = db_->lastError();
    close();
    return fail(path_, e.text(), e.nativeErrorCode());
  }
  MigrationResult result = MigrationResult::Failed;
  {
    QSqlQuery q(*db_);
    result = migrate(q);
  }
  if (result == MigrationResult::Damaged) return startOver();
  if (result == MigrationResult::Failed) {
    close();
    return false;
  }
  addCar_ = std::make_unique<QSqlQuery>(*db_);
  findCar_ = std::make_unique<QSqlQuery>(*db_);
  addReadout_ = std::make_unique<QSqlQuery>(*db_);
  addCar_->prepare(QStringLiteral("INSERT OR IGNORE INTO cars(line1, line2) VALUES(?, ?)"));
  findCar_->prepare(QStringLiteral("SELECT id FROM cars WHERE line1 = ? AND line2 = ?"));
  addReadout_->prepare(
      QStringLiteral("INSERT INTO readouts(car_id, taken_at, source, block, note) "
                     "VALUES(?, ?, ?, ?, ?)"));
  return true;
}

ArchiveStore::MigrationResult ArchiveStore::migrate(QSqlQuery& q) {
  bool isDamaged = false;
  const auto run = [&](const QString& sql) {
    if (q.exec(sql)) return true;
    const QSqlError e = q.lastError();
    isDamaged = damaged(e.nativeErrorCode());
    fail(path_, e.text(), e.nativeErrorCode());
    return false;
  };
  const auto outcome = [&](bool ok) {
    return ok          ? MigrationResult::Ok
           : isDamaged ? MigrationResult::Damaged
                       : MigrationResult::Failed;
  };
  // WAL lets a workshop's script read while the program writes; NORMAL syncs at checkpoints
  // only, which keeps a read-out's insert far below anything a fitter could notice.
  if (!run(QStringLiteral("PRAGMA busy_timeout = %1").arg(lockWaitMs_)) ||
      !run(QStringLiteral("PRAGMA journal_mode = WAL")) ||
      !run(QStringLiteral("PRAGMA synchronous = NORMAL")) ||
      // The list's index is read whole each time the window opens: mapped, not copied.
      !run(QStringLiteral("PRAGMA mmap_size = 268435456")) ||
      !run(QStringLiteral("PRAGMA foreign_keys = ON")) ||
      !run(QStringLiteral("PRAGMA user_version")))
    return outcome(false);
  const int version = q.next() ? q.value(0).toInt() : 0;
  q.finish();
  if (version >= kSchemaVersion) return MigrationResult::Ok;
  // Every step runs in one transaction, so a file is at its old version or at this program's,
  // never between. Another connection (the server's worker has its own) may have migrated the
  // file while this one waited for it.
  if (!run(QStringLiteral("BEGIN IMMEDIATE")) || !run(QStringLiteral("PRAGMA user_version")))
    return outcome(false);
  const int from = q.next() ? q.value(0).toInt() : 0;
  q.finish();
  bool ok = true;
  for (const MigrationStep& step : migrationSteps()) {
    if (!ok || step.version <= from) continue;
    for (const char* statement : step.statements)
      ok = ok && run(QString::fromUtf8(statement));
    if (ok && step.version == kServerIdentityVersion) ok = addServerIdentity(run);
    ok = ok && run(QStringLiteral("PRAGMA user_version = %1").arg(step.version));
  }
  ok = ok && run(QStringLiteral("COMMIT"));
  // Undone whole: the file stays at the version it had.
  if (!ok) QSqlQuery(*db_).exec(QStringLiteral("ROLLBACK"));
  return outcome(ok);
}

bool ArchiveStore::startOver() {
  close();
  const QString aside = path_ + QStringLiteral(".damaged-") +
                        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  // The journal files belong to the damaged file and go with it.
  if (!QFile::rename(path_, aside)) return fail(path_, QStringLiteral("damaged, cannot be moved"));
  for (const char* suffix : {"-wal", "-shm"})
    if (QFile::exists(path_ + suffix)) QFile::rename(path_ + suffix, aside + suffix);
  movedAside_ = aside;
  return openFile();
}

std::optional<qint64> ArchiveStore::add(const CarLines& car, ReadoutSource source,
                                        const SettingsBlock& block, const QDateTime& takenAt,
                                        const QString& note) {
  const WriteTurns::Urgent turn;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!open()) return std::nullopt;
    const auto failed = [this](QSqlQuery& q) {
      const QSqlError e = q.lastError();
      if (damaged(e.nativeErrorCode())) return startOver();
      fail(path_, e.text(), e.nativeErrorCode());
      return false;
    };
    addCar_->addBindValue(nonNull(car.line1));
    addCar_->addBindValue(nonNull(car.line2));
    if (!addCar_->exec()) {
      if (failed(*addCar_)) continue;
      return std::nullopt;
    }
    findCar_->addBindValue(nonNull(car.line1));
    findCar_->addBindValue(nonNull(car.line2));
    if (!findCar_->exec() || !findCar_->next()) {
      if (failed(*findCar_)) continue;
      return std::nullopt;
    }
    const qint64 carId = findCar_->value(0).toLongLong();
    findCar_->finish();
    addReadout_->addBindValue(carId);
    addReadout_->addBindValue(takenAt.toUTC().toString(Qt::ISODate));
    addReadout_->addBindValue(sourceCode(source));
    addReadout_->addBindValue(blockBytes(block));
    addReadout_->addBindValue(nonNull(note));
    if (!addReadout_->exec()) {
      if (failed(*addReadout_)) continue;
      return std::nullopt;
    }
    const qint64 id = addReadout_->lastInsertId().toLongLong();
    if (changed_) changed_();
    return id;
  }
  return std::nullopt;
}

std::vector<ReadoutSummary> ArchiveStore::list() {
  std::vector<ReadoutSummary> rows;
  if (!open()) return rows;
  QSqlQuery q(*db_);
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT r.id, r.taken_at, r.source, c.line1, c.line2, r.note, r.site "
                             "FROM readouts r JOIN cars c ON c.id = r.car_id "
                             "ORDER BY r.taken_at DESC, r.id DESC"))) {
    fail(path_, q.lastError().text(), q.lastError().nativeErrorCode());
    return rows;
  }
  while (q.next()) {
    rows.push_back({q.value(0).toLongLong(),
                    q.value(1).toString(),
                    q.value(2).toString(),
                    {q.value(3).toString(), q.value(4).toString()},
                    q.value(5).toString(),
                    q.value(6).toString()});
  }
  return rows;
}

std::vector<ListEntry> ArchiveStore::listOrder() {
  std::vector<ListEntry> out;
  if (!open()) return out;
  // Stepped on SQLite's own handle: a hundred thousand rows through QSqlQuery's variants take
  // longer than the whole list may to open.
  const QVariant handle = db_->driver()->handle();
  auto* sqlite = handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
                     ? *static_cast<sqlite3* const*>(handle.data())
                     : nullptr;
  if (!sqlite) return fail(path_, QStringLiteral("no SQLite handle")), out;
  sqlite3_stmt* statement = nullptr;
  const char* sql =
      "SELECT id, car_id FROM readouts INDEXED BY readouts_by_time ORDER BY taken_at DESC, id DESC";
  if (sqlite3_prepare_v2(sqlite, sql, -1, &statement, nullptr) != SQLITE_OK) {
    fail(path_, QString::fromUtf8(sqlite3_errmsg(sqlite)));
    return out;
  }
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
    out.push_back({sqlite3_column_int64(statement, 0), sqlite3_column_int64(statement, 1)});
  if (rc != SQLITE_DONE) fail(path_, QString::fromUtf8(sqlite3_errmsg(sqlite)));
  sqlite3_finalize(statement);
  return out;
}

QHash<qint64, CarLines> ArchiveStore::cars() {
  QHash<qint64, CarLines> out;
  if (!open()) return out;
  QSqlQuery q(*db_);
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT id, line1, line2 FROM cars"))) {
    fail(path_, q.lastError().text(), q.lastError().nativeErrorCode());
    return out;
  }
  while (q.next())
    out.insert(q.value(0).toLongLong(), {q.value(1).toString(), q.value(2).toString()});
  return out;
}

QHash<qint64, QString> ArchiveStore::notes() {
  QHash<qint64, QString> out;
  if (!open()) return out;
  QSqlQuery q(*db_);
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT id, note FROM readouts INDEXED BY readouts_with_note "
                             "WHERE note <> ''"))) {
    fail(path_, q.lastError().text(), q.lastError().nativeErrorCode());
    return out;
  }
  while (q.next())
    out.insert(q.value(0).toLongLong(), q.value(1).toString());
  return out;
}

std::vector<ReadoutSummary> ArchiveStore::summaries(const std::vector<qint64>& ids) {
  std::vector<ReadoutSummary> out;
  if (ids.empty() || !open()) return out;
  QStringList list;
  for (qint64 id : ids)
    list << QString::number(id);
  QSqlQuery q(*db_);
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT r.id, r.taken_at, r.source, c.line1, c.line2, r.note, r.site "
                             "FROM readouts r JOIN cars c ON c.id = r.car_id "
                             "WHERE r.id IN (%1)")
                  .arg(list.join(QLatin1Char(','))))) {
    fail(path_, q.lastError().text(), q.lastError().nativeErrorCode());
    return out;
  }
  while (q.next()) {
    out.push_back({q.value(0).toLongLong(),
                   q.value(1).toString(),
                   q.value(2).toString(),
                   {q.value(3).toString(), q.value(4).toString()},
                   q.value(5).toString(),
                   q.value(6).toString()});
  }
  return out;
}

std::optional<Readout> ArchiveStore::readout(qint64 id) {
  if (!open()) return std::nullopt;
  QSqlQuery q(*db_);
  q.prepare(
      QStringLiteral("SELECT c.line1, c.line2, r.taken_at, r.source, r.block, r.note, r.site "
                     "FROM readouts r JOIN cars c ON c.id = r.car_id WHERE r.id = ?"));
  q.addBindValue(id);
  if (!q.exec() || !q.next()) {
    fail(path_, q.lastError().text(), q.lastError().nativeErrorCode());
    return std::nullopt;
  }
  Readout r;
  r.id = id;
  r.car = {q.value(0).toString(), q.value(1).toString()};
  r.takenAt = QDateTime::fromString(q.value(2).toString(), Qt::ISODate);
  r.source = sourceFromCode(q.value(3).toString()).value_or(ReadoutSource::Read);
  const QByteArray bytes = q.value(4).toByteArray();
  // A row a script wrote with a block of another length is not a settings block.
  if (bytes.size() != static_cast<int>(r.block.size())) {
    fail(path_, QStringLiteral("readout %1 has no settings block").arg(id));
    return std::nullopt;
  }
  std::copy(bytes.begin(), bytes.end(), r.block.begin());
  r.note = q.value(5).toString();
  r.site = q.value(6).toString();
  return r;
}

bool ArchiveStore::setNote(qint64 id, const QString& note) {
  const WriteTurns::Urgent turn;
  if (!open()) return false;
  QSqlQuery q(*db_);
  q.prepare(QStringLiteral("UPDATE readouts SET note = ? WHERE id = ?"));
  q.addBindValue(nonNull(note));
  q.addBindValue(id);
  if (!q.exec()) return fail(path_, q.lastError().text(), q.lastError().nativeErrorCode());
  if (changed_) changed_();
  return true;
}

}  // namespace orvel
