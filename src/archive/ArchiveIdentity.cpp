#include "archive/ArchiveStore.h"

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace orvel {

namespace {

// The namespace of the identities that read-outs kept before the server came get from their
// content.
const QUuid kKeptBefore(QStringLiteral("{5d0a7f0e-2b51-4c8e-9a43-0d6e3c2f71b9}"));

// A random (version 4) UUID in SQLite's own terms, for rows however they are inserted.
const char* const kRandomUuid =
    "lower(hex(randomblob(4))) || '-' || lower(hex(randomblob(2))) || '-4' || "
    "substr(lower(hex(randomblob(2))), 2) || '-' || substr('89ab', 1 + abs(random()) % 4, 1) || "
    "substr(lower(hex(randomblob(2))), 2) || '-' || lower(hex(randomblob(6)))";

// The next place in what this PC has to send.
const char* const kNextChange = "(SELECT coalesce(max(change_seq), 0) + 1 FROM readouts)";

}  // namespace

// Version 3: every read-out gets an identity that is the same on every PC, the PC that took it,
// and its note the time of its last change; what this PC has yet to send is ordered by
// change_seq, and sync_state keeps, per server, how far this PC has sent and fetched.
bool ArchiveStore::addServerIdentity(const Run& run) {
  if (!run(QStringLiteral("ALTER TABLE readouts ADD COLUMN uuid TEXT")) ||
      !run(QStringLiteral("ALTER TABLE readouts ADD COLUMN site TEXT NOT NULL DEFAULT ''")) ||
      !run(QStringLiteral("ALTER TABLE readouts ADD COLUMN note_changed TEXT NOT NULL "
                          "DEFAULT ''")) ||
      !run(QStringLiteral("ALTER TABLE readouts ADD COLUMN change_seq INTEGER")))
    return false;

  // A read-out kept before takes its identity from what it is: an archive file copied to two
  // PCs before this version gives its read-outs the same identities on both, and the server
  // keeps one of each. Its note counts as older than any change made from now on.
  QSqlQuery rows(*db_);
  rows.setForwardOnly(true);
  QSqlQuery name(*db_);
  if (!rows.exec(QStringLiteral("SELECT r.id, r.taken_at, r.source, r.block, c.line1, c.line2 "
                                "FROM readouts r JOIN cars c ON c.id = r.car_id")) ||
      !name.prepare(QStringLiteral("UPDATE readouts SET uuid = ?, change_seq = id WHERE id = ?")))
    return fail(path_, rows.lastError().text() + name.lastError().text());
  std::vector<std::pair<qint64, QString>> identities;
  while (rows.next()) {
    QByteArray content = QByteArray::number(rows.value(0).toLongLong());
    for (int column = 1; column < 6; ++column)
      content += '\n' + (column == 3 ? rows.value(column).toByteArray().toHex()
                                     : rows.value(column).toString().toUtf8());
    identities.emplace_back(
        rows.value(0).toLongLong(),
        QUuid::createUuidV5(kKeptBefore, content).toString(QUuid::WithoutBraces));
  }
  rows.finish();
  for (const auto& [id, uuid] : identities) {
    name.addBindValue(uuid);
    name.addBindValue(id);
    if (!name.exec()) return fail(path_, name.lastError().text());
  }

  return run(QStringLiteral("CREATE UNIQUE INDEX readouts_by_uuid ON readouts(uuid)")) &&
         run(QStringLiteral("CREATE INDEX readouts_by_change ON readouts(change_seq)")) &&
         run(QStringLiteral("CREATE TABLE sync_state(server TEXT PRIMARY KEY, "
                            "sent INTEGER NOT NULL DEFAULT 0, fetched INTEGER NOT NULL DEFAULT 0, "
                            "used INTEGER NOT NULL DEFAULT 0)")) &&
         // A row added here has no identity yet: it gets one, and its place among what is to
         // be sent. Rows fetched from the server come with theirs and are not sent back.
         run(QStringLiteral("CREATE TRIGGER readouts_identity AFTER INSERT ON readouts "
                            "WHEN NEW.uuid IS NULL BEGIN "
                            "UPDATE readouts SET uuid = %1, change_seq = %2 WHERE id = NEW.id; "
                            "END")
                 .arg(QLatin1String(kRandomUuid), QLatin1String(kNextChange))) &&
         // A note changed here is stamped and sent; one taken from the server comes with its
         // own time of change.
         run(QStringLiteral("CREATE TRIGGER readouts_note_changed AFTER UPDATE OF note ON readouts "
                            "WHEN NEW.note IS NOT OLD.note AND "
                            "NEW.note_changed IS OLD.note_changed BEGIN "
                            "UPDATE readouts SET note_changed = "
                            "strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), change_seq = %1 "
                            "WHERE id = NEW.id; END")
                 .arg(QLatin1String(kNextChange)));
}

}  // namespace orvel
