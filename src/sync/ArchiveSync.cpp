#include "sync/ArchiveSync.h"

#include "archive/ArchiveStore.h"
#include "archive/WriteTurns.h"
#include "sync/ServerSchema.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <libpq-fe.h>
#include <sys/stat.h>

#include <atomic>

namespace orvel {

namespace {

// The archive's own schema version that first had what a pass reads and writes.
constexpr int kLocalVersion = ArchiveStore::kServerIdentityVersion;
const QString kChannel = QStringLiteral("orvel_archive");

QString nextName(const char* kind) {
  static std::atomic<int> serial{0};
  return QStringLiteral("orvel-sync-%1-%2").arg(QLatin1String(kind)).arg(++serial);
}

unsigned long long inodeOf(const QString& path) {
  struct stat info {};
  return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

QString nonNull(const QString& text) {
  return text.isNull() ? QStringLiteral("") : text;
}

// The order in which notes win: the later change, and of two at the same moment the greater
// text, byte by byte in UTF-8 as the server's "C" collation and SQLite's BINARY compare.
bool laterNote(const QString& changed, const QString& note, const QString& thanChanged,
               const QString& thanNote) {
  if (changed != thanChanged) return changed > thanChanged;
  return note.toUtf8() > thanNote.toUtf8();
}

// Time texts: the archive's ISO 8601 UTC; the empty text is a note never changed, which the
// server keeps as -infinity.
const char* const kFetchColumns =
    "SELECT rev, uuid::text, to_char(taken_at AT TIME ZONE 'UTC', "
    "'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), source, block, car_line1, car_line2, site, note, "
    "CASE WHEN isfinite(note_changed) THEN to_char(note_changed AT TIME ZONE 'UTC', "
    "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"') ELSE '' END FROM readouts ";

// A read-out as both sides select it: order, uuid, taken, source, block, car lines, site, note
// and its change.
ArchiveSync::Row rowAt(const QSqlQuery& q) {
  ArchiveSync::Row r;
  r.order = q.value(0).toLongLong();
  r.uuid = q.value(1).toString();
  r.takenAt = q.value(2).toString();
  r.source = q.value(3).toString();
  r.block = q.value(4).toByteArray();
  r.line1 = q.value(5).toString();
  r.line2 = q.value(6).toString();
  r.site = q.value(7).toString();
  r.note = q.value(8).toString();
  r.noteChanged = q.value(9).toString();
  return r;
}

}  // namespace

ArchiveSync::ArchiveSync(QString archivePath, const QString& line, QString site,
                         std::shared_ptr<LineCutter> cutter)
    : path_(std::move(archivePath)),
      line_(checkServerLine(line)),
      site_(std::move(site)),
      cutter_(std::move(cutter)),
      localName_(nextName("local")),
      serverName_(nextName("server")) {}

ArchiveSync::~ArchiveSync() {
  closeServer();
  closeLocal();
}

void ArchiveSync::closeLocal() {
  if (!local_) return;
  local_->close();
  local_.reset();
  QSqlDatabase::removeDatabase(localName_);
}

bool ArchiveSync::failedHere(const QSqlQuery& q) {
  localError_ = q.lastError().text();
  return false;
}

ServerStatus ArchiveSync::localFailed(const QString& detail) {
  ServerStatus s;
  s.state = ServerStatus::State::Refused;
  s.refusal = ServerStatus::Refusal::LocalArchive;
  s.detail = detail;
  return s;
}

ServerStatus ArchiveSync::openLocal() {
  // The store moves a damaged file aside and starts a new one under the same name: a connection
  // to the old file would go on writing into what was moved aside.
  const unsigned long long inode = inodeOf(path_);
  if (local_ && inode == inode_) return {};
  closeLocal();
  if (!QFileInfo(path_).isFile()) return localFailed(path_ + QStringLiteral(": no archive yet"));
  cars_.clear();
  QString problem;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), localName_);
    db.setDatabaseName(path_);
    if (db.open()) {
      QSqlQuery q(db);
      // The program's own store has the file: waiting a while is no harm here. Checkpoints are
      // this connection's own to make, after its writes and outside the fitter's way: left to
      // SQLite, a commit of the fitter's would copy a long fetch's journal into the file. The
      // identities' index, read all over by a long fetch, is kept in memory.
      for (const char* pragma : {"busy_timeout = 5000", "foreign_keys = ON",
                                 "wal_autocheckpoint = 0", "cache_size = -32768"})
        if (problem.isEmpty() && !q.exec(QStringLiteral("PRAGMA ") + QLatin1String(pragma)))
          problem = q.lastError().text();
      if (problem.isEmpty() && (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()))
        problem = q.lastError().text();
      else if (problem.isEmpty() && q.value(0).toInt() < kLocalVersion)
        problem = path_ + QStringLiteral(": schema version %1").arg(q.value(0).toInt());
    } else {
      problem = db.lastError().text();
    }
    if (problem.isEmpty()) local_ = std::make_unique<QSqlDatabase>(db);
  }
  if (!problem.isEmpty()) {
    QSqlDatabase::removeDatabase(localName_);
    return localFailed(problem);
  }
  inode_ = inode;
  return {};
}

void ArchiveSync::closeServer() {
  cutter_->detach();
  if (!server_) return;
  server_->close();
  server_.reset();
  QSqlDatabase::removeDatabase(serverName_);
}

ServerStatus ArchiveSync::serverFailed(const QSqlError& error) {
  // The server refuses what was asked (a right, a check) with an error of its own; a line that
  // broke, or a server shutting down, has no answer or one of the classes "connection" and
  // "operator intervention".
  const QString state = error.nativeErrorCode();
  const bool lost = !server_ || !server_->isOpen() || cutter_->isCut() || state.isEmpty() ||
                    state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57"));
  ServerStatus s;
  if (lost) {
    s.state = ServerStatus::State::Unreachable;
    closeServer();
  } else {
    s.state = ServerStatus::State::Refused;
    s.refusal = ServerStatus::Refusal::Server;
  }
  s.detail = error.databaseText().simplified();
  return s;
}

ServerStatus ArchiveSync::openServer() {
  if (server_ && server_->isOpen()) return {};
  closeServer();
  const ServerStatus reached = reachArchiveServer(line_, *cutter_);
  if (reached.state != ServerStatus::State::Off) return reached;
  server_ = std::make_unique<QSqlDatabase>(
      QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), serverName_));
  server_->setConnectOptions(line_.connection);
  if (!server_->open()) return serverFailed(server_->lastError());
  const QVariant handle = server_->driver()->handle();
  if (handle.isValid() && qstrcmp(handle.typeName(), "PGconn*") == 0)
    cutter_->attach(PQsocket(*static_cast<PGconn* const*>(handle.data())));

  const ServerSchema schema = prepareServerSchema(*server_);
  ServerStatus s;
  s.state = ServerStatus::State::Refused;
  switch (schema.state) {
    case ServerSchema::State::Ready:
      break;
    case ServerSchema::State::Newer:
      closeServer();
      s.refusal = ServerStatus::Refusal::Newer;
      s.detail = QString::number(schema.version);
      return s;
    case ServerSchema::State::NotAllowed:
      closeServer();
      s.refusal = ServerStatus::Refusal::NoSchema;
      s.detail = schema.error.databaseText().simplified();
      return s;
    case ServerSchema::State::Missing:
    case ServerSchema::State::Failed:
      return serverFailed(schema.error);
  }
  serverId_ = schema.serverId;
  if (!readCursors()) return localFailed(localError_);

  // A server restored from an older copy has forgotten what this PC sent since, and gives out
  // again revs this PC has seen: everything is sent and fetched anew, which the uuids make
  // harmless.
  QSqlQuery q(*server_);
  if (!q.exec(QStringLiteral("SELECT coalesce(max(rev), 0) FROM readouts")) || !q.next())
    return serverFailed(q.lastError());
  bool forgotten = q.value(0).toLongLong() < fetched_;
  // A server that crashed without having written its last commits to disk (or that was
  // restored) has lost what it confirmed last: the last read-out sent must be there.
  if (!forgotten && sent_ > 0) {
    QSqlQuery last(*local_);
    last.prepare(
        QStringLiteral("SELECT uuid FROM readouts WHERE change_seq <= ? "
                       "ORDER BY change_seq DESC LIMIT 1"));
    last.addBindValue(sent_);
    if (!last.exec()) return localFailed(last.lastError().text());
    if (last.next()) {
      if (!q.exec(QStringLiteral("SELECT count(*) FROM readouts WHERE uuid = %1")
                      .arg(literal(last.value(0).toString()))) ||
          !q.next())
        return serverFailed(q.lastError());
      forgotten = q.value(0).toLongLong() == 0;
    }
  }
  if (forgotten) {
    const WriteTurns::Background turn;
    QSqlQuery reset(*local_);
    reset.prepare(QStringLiteral("UPDATE sync_state SET sent = 0, fetched = 0 WHERE server = ?"));
    reset.addBindValue(serverId_);
    if (!reset.exec()) return localFailed(reset.lastError().text());
    sent_ = fetched_ = 0;
  }
  QSqlDriver* driver = server_->driver();
  if (driver->subscribeToNotification(kChannel)) {
    QObject::connect(driver, &QSqlDriver::notification, driver, [this](const QString& name) {
      if (name == kChannel && notified) notified();
    });
  }
  return {};
}

bool ArchiveSync::readCursors() {
  const WriteTurns::Background turn;
  QSqlQuery q(*local_);
  q.prepare(QStringLiteral("INSERT OR IGNORE INTO sync_state(server) VALUES(?)"));
  q.addBindValue(serverId_);
  if (!q.exec()) return failedHere(q);
  // The server last used is the one whose count of waiting rows is shown before a connection.
  q.prepare(
      QStringLiteral("UPDATE sync_state SET used = (SELECT max(used) FROM sync_state) + 1 "
                     "WHERE server = ?"));
  q.addBindValue(serverId_);
  if (!q.exec()) return failedHere(q);
  q.prepare(QStringLiteral("SELECT sent, fetched FROM sync_state WHERE server = ?"));
  q.addBindValue(serverId_);
  if (!q.exec() || !q.next()) return failedHere(q);
  sent_ = q.value(0).toLongLong();
  fetched_ = q.value(1).toLongLong();
  return true;
}

int ArchiveSync::waiting() {
  if (openLocal().state != ServerStatus::State::Off) return 0;
  QSqlQuery q(*local_);
  q.prepare(
      QStringLiteral("SELECT count(*) FROM readouts WHERE change_seq > coalesce("
                     "(SELECT sent FROM sync_state WHERE server = ?), "
                     "(SELECT sent FROM sync_state ORDER BY used DESC LIMIT 1), 0)"));
  q.addBindValue(nonNull(serverId_));
  return q.exec() && q.next() ? q.value(0).toInt() : 0;
}

ArchiveSync::Result ArchiveSync::pass(const std::function<void(const ServerStatus&)>& progress) {
  // A connection kept from an earlier pass may have died meanwhile (the server restarted):
  // that is found on its first use, and one new connection tried before giving up.
  const bool kept = server_ && server_->isOpen();
  bool lost = false;
  Result result = passOnce(progress, &lost);
  if (lost && kept && result.sent == 0 && result.fetched == 0 && !cutter_->isCut())
    result = passOnce(progress, &lost);
  return result;
}

ArchiveSync::Result ArchiveSync::passOnce(const std::function<void(const ServerStatus&)>& progress,
                                          bool* lost) {
  Result result;
  const auto ended = [&](ServerStatus status) {
    *lost = status.state == ServerStatus::State::Unreachable;
    status.waiting = waiting();
    result.status = status;
    return result;
  };
  ServerStatus s = openLocal();
  if (s.state != ServerStatus::State::Off) return ended(s);
  s = openServer();
  if (s.state != ServerStatus::State::Off) return ended(s);

  ServerStatus going;
  going.state = ServerStatus::State::Sending;
  going.waiting = waiting();
  std::vector<Row> rows;
  for (;;) {
    if (cutter_->isCut()) return ended(serverFailed(QSqlError()));
    if (!pending(rows)) return ended(localFailed(localError_));
    if (rows.empty()) break;
    if (!send(rows)) return ended(serverFailed(serverError_));
    if (!markSent(rows.back().order)) return ended(localFailed(localError_));
    result.sent += static_cast<int>(rows.size());
    going.waiting = std::max(0, going.waiting - static_cast<int>(rows.size()));
    if (progress) progress(going);
  }
  for (;;) {
    if (cutter_->isCut()) return ended(serverFailed(QSqlError()));
    if (!fetch(rows)) return ended(serverFailed(serverError_));
    if (rows.empty()) break;
    const std::size_t offered = rows.size();
    int stored = 0;
    if (!store(rows, &stored)) return ended(localFailed(localError_));
    result.fetched += stored;
    if (rows.size() < offered) {
      ServerStatus newer;
      newer.state = ServerStatus::State::Refused;
      newer.refusal = ServerStatus::Refusal::NewerRows;
      return ended(newer);
    }
  }
  ServerStatus done;
  done.state = ServerStatus::State::Synced;
  done = ended(done).status;
  if (done.waiting > 0) done.state = ServerStatus::State::Sending;
  result.status = done;
  return result;
}

bool ArchiveSync::pending(std::vector<Row>& rows) {
  rows.clear();
  QSqlQuery q(*local_);
  q.setForwardOnly(true);
  q.prepare(QStringLiteral(
      "SELECT r.change_seq, r.uuid, r.taken_at, r.source, r.block, c.line1, c.line2, r.site, "
      "r.note, r.note_changed FROM readouts r JOIN cars c ON c.id = r.car_id "
      "WHERE r.change_seq > ? ORDER BY r.change_seq LIMIT ?"));
  q.addBindValue(sent_);
  q.addBindValue(kUploadRows);
  if (!q.exec()) return failedHere(q);
  while (q.next()) {
    Row r = rowAt(q);
    // A row taken here carries this PC's name from the moment it leaves.
    if (r.site.isEmpty()) r.site = site_;
    rows.push_back(std::move(r));
  }
  return !q.lastError().isValid() || failedHere(q);
}

bool ArchiveSync::markSent(qint64 upTo) {
  const WriteTurns::Background turn;
  QSqlQuery q(*local_);
  q.prepare(QStringLiteral("UPDATE sync_state SET sent = ? WHERE server = ?"));
  q.addBindValue(upTo);
  q.addBindValue(serverId_);
  if (!q.exec()) return failedHere(q);
  sent_ = upTo;
  return true;
}

QString ArchiveSync::literal(const QString& text) const {
  QSqlField field(QString(), QMetaType(QMetaType::QString));
  field.setValue(nonNull(text));
  return server_->driver()->formatValue(field);
}

bool ArchiveSync::send(const std::vector<Row>& rows) {
  // One statement, whole or not at all. A row the server has keeps its read-out; its note is
  // taken only if it is the later one.
  QString sql = QStringLiteral(
      "INSERT INTO readouts (uuid, taken_at, source, block, car_line1, car_line2, site, note, "
      "note_changed) VALUES ");
  QSqlField block(QString(), QMetaType(QMetaType::QByteArray));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    block.setValue(r.block);
    sql += (i ? QStringLiteral(",(") : QStringLiteral("(")) + literal(r.uuid) + QLatin1Char(',') +
           literal(r.takenAt) + QLatin1Char(',') + literal(r.source) + QLatin1Char(',') +
           server_->driver()->formatValue(block) + QLatin1Char(',') + literal(r.line1) +
           QLatin1Char(',') + literal(r.line2) + QLatin1Char(',') + literal(r.site) +
           QLatin1Char(',') + literal(r.note) + QLatin1Char(',') +
           (r.noteChanged.isEmpty() ? QStringLiteral("'-infinity'") : literal(r.noteChanged)) +
           QLatin1Char(')');
  }
  sql += QStringLiteral(
      " ON CONFLICT (uuid) DO UPDATE SET note = EXCLUDED.note, note_changed = "
      "EXCLUDED.note_changed WHERE (readouts.note_changed, readouts.note) < "
      "(EXCLUDED.note_changed, EXCLUDED.note)");
  QSqlQuery q(*server_);
  if (q.exec(sql)) return true;
  serverError_ = q.lastError();
  return false;
}

bool ArchiveSync::fetch(std::vector<Row>& rows) {
  rows.clear();
  QSqlQuery q(*server_);
  if (!q.exec(
          QLatin1String(kFetchColumns) +
          QStringLiteral("WHERE rev > %1 ORDER BY rev LIMIT %2").arg(fetched_).arg(kFetchRows))) {
    serverError_ = q.lastError();
    return false;
  }
  while (q.next()) {
    rows.push_back(rowAt(q));
  }
  return true;
}

bool ArchiveSync::store(std::vector<Row>& rows, int* stored) {
  // A kind of read-out this program does not know ends the fetch before it: the rows stay on
  // the server for a newer program.
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!sourceFromCode(rows[i].source)) {
      rows.resize(i);
      break;
    }
  }
  // What is new, and which notes are later, is read first: rows this PC has already (its own,
  // coming back) cost no write at all.
  QHash<QString, std::pair<QString, QString>> known;  // uuid: note_changed, note
  {
    QSqlQuery q(*local_);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT uuid, note_changed, note FROM readouts WHERE uuid IN (%1)")
                  .arg(QStringList(static_cast<int>(rows.size()), QStringLiteral("?"))
                           .join(QLatin1Char(','))));
    for (const Row& r : rows)
      q.addBindValue(r.uuid);
    if (!rows.empty() && !q.exec()) return failedHere(q);
    while (q.next())
      known.insert(q.value(0).toString(), {q.value(1).toString(), q.value(2).toString()});
  }
  std::vector<const Row*> changes;
  for (const Row& r : rows) {
    const auto it = known.constFind(r.uuid);
    if (it == known.cend() || laterNote(r.noteChanged, r.note, it->first, it->second))
      changes.push_back(&r);
  }

  QSqlQuery addCar(*local_), findCar(*local_), addRow(*local_), setNote(*local_), cursor(*local_);
  addCar.prepare(QStringLiteral("INSERT OR IGNORE INTO cars(line1, line2) VALUES(?, ?)"));
  findCar.prepare(QStringLiteral("SELECT id FROM cars WHERE line1 = ? AND line2 = ?"));
  addRow.prepare(QStringLiteral(
      "INSERT OR IGNORE INTO readouts(car_id, taken_at, source, block, note, uuid, site, "
      "note_changed) VALUES(?, ?, ?, ?, ?, ?, ?, ?)"));
  // The condition is asked again here: the fitter may have changed the note since.
  setNote.prepare(
      QStringLiteral("UPDATE readouts SET note = ?, note_changed = ? WHERE uuid = ? AND "
                     "(note_changed, note) < (?, ?)"));
  cursor.prepare(QStringLiteral("UPDATE sync_state SET fetched = ? WHERE server = ?"));
  const qint64 last = rows.empty() ? fetched_ : rows.back().order;
  QSqlQuery tx(*local_);
  std::size_t next = 0;
  do {
    const WriteTurns::Background turn;
    const auto rollBack = [&] {
      QSqlQuery(*local_).exec(QStringLiteral("ROLLBACK"));
      cars_.clear();  // a car added in what was rolled back is not there
      return false;
    };
    if (!tx.exec(QStringLiteral("BEGIN IMMEDIATE"))) return failedHere(tx);
    const auto failed = [&] {
      for (const QSqlQuery* q : {&addCar, &findCar, &addRow, &setNote, &cursor, &tx})
        if (q->lastError().isValid()) return failedHere(*q) || rollBack();
      return rollBack();
    };
    std::size_t i = next;
    bool yielded = false;
    for (; i < changes.size() && i - next < static_cast<std::size_t>(kStoreRows); ++i) {
      // A read-out to be kept goes first: this transaction is given up at once, to be done
      // again after it, rather than committed while the fitter waits.
      if ((yielded = WriteTurns::othersWaiting())) break;
      const Row& r = *changes[i];
      if (!known.contains(r.uuid)) {
        // A car's row is never removed: its id, once known, holds.
        const QString car = r.line1 + QLatin1Char('\n') + r.line2;
        auto id = cars_.constFind(car);
        if (id == cars_.cend()) {
          addCar.addBindValue(nonNull(r.line1));
          addCar.addBindValue(nonNull(r.line2));
          findCar.addBindValue(nonNull(r.line1));
          findCar.addBindValue(nonNull(r.line2));
          if (!addCar.exec() || !findCar.exec() || !findCar.next()) return failed();
          id = cars_.insert(car, findCar.value(0).toLongLong());
          findCar.finish();
        }
        addRow.addBindValue(*id);
        addRow.addBindValue(r.takenAt);
        addRow.addBindValue(r.source);
        addRow.addBindValue(r.block);
        addRow.addBindValue(nonNull(r.note));
        addRow.addBindValue(r.uuid);
        addRow.addBindValue(r.site);
        addRow.addBindValue(nonNull(r.noteChanged));
        if (!addRow.exec()) return failed();
      } else {
        for (const QString& value : {nonNull(r.note), nonNull(r.noteChanged), r.uuid,
                                     nonNull(r.noteChanged), nonNull(r.note)})
          setNote.addBindValue(value);
        if (!setNote.exec()) return failed();
      }
    }
    if (yielded) {
      rollBack();
      continue;
    }
    // Every row up to the last one stored is in, or was in already.
    cursor.addBindValue(i == changes.size() ? last : changes[i - 1]->order);
    cursor.addBindValue(serverId_);
    if (!cursor.exec() || !tx.exec(QStringLiteral("COMMIT"))) return failed();
    next = i;
  } while (next < changes.size());
  fetched_ = last;
  *stored = static_cast<int>(changes.size());
  // The journal is copied into the file after each batch, by this thread, waiting for nobody
  // and outside the fitter's turn: it never grows to where a commit of the fitter's would copy
  // it (a thousand pages).
  if (!changes.empty()) tx.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
  return true;
}

}  // namespace orvel
