#include "sync/ServerSchema.h"

#include "ServerSchemaSql.h"
#include "sync/ServerLine.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace orvel {

const char* serverSchemaSql() {
  return kServerSchemaSqlText;
}

namespace {

constexpr const char* kInsufficientPrivilege = "42501";

ServerSchema failed(const QSqlQuery& q) {
  ServerSchema out;
  out.error = q.lastError();
  return out;
}

}  // namespace

ServerSchema prepareServerSchema(QSqlDatabase& db, bool create) {
  ServerSchema out;
  QSqlQuery q(db);
  const auto readVersion = [&] {
    if (!q.exec(QStringLiteral("SELECT to_regclass('archive_schema') IS NOT NULL"))) return false;
    const bool exists = q.next() && q.value(0).toBool();
    out.version = 0;
    if (!exists) return true;
    if (!q.exec(QStringLiteral("SELECT max(version), min(server_id::text) FROM archive_schema")))
      return false;
    if (q.next()) {
      out.version = q.value(0).toInt();
      out.serverId = q.value(1).toString();
    }
    return true;
  };
  if (!readVersion()) return failed(q);
  if (out.version > kServerSchemaVersion) {
    out.state = ServerSchema::State::Newer;
    return out;
  }
  if (out.version < kServerSchemaVersion && !create) {
    out.state = ServerSchema::State::Missing;
    return out;
  }
  if (out.version < kServerSchemaVersion) {
    // The file is one transaction; a statement that fails leaves it aborted and ends the
    // rest. Every result is looked at: the first one is the BEGIN.
    QSqlQuery script(db);
    bool ok = script.exec(QString::fromUtf8(serverSchemaSql()));
    while (ok && script.nextResult()) {
    }
    if (!ok || script.lastError().isValid()) {
      ServerSchema refused = failed(script);
      if (script.lastError().nativeErrorCode() == QLatin1String(kInsufficientPrivilege))
        refused.state = ServerSchema::State::NotAllowed;
      if (db.isOpen()) QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
      return refused;
    }
    if (!readVersion()) return failed(q);
  }
  out.state = out.version == kServerSchemaVersion ? ServerSchema::State::Ready
                                                  : ServerSchema::State::Failed;
  return out;
}

ServerStatus reachArchiveServer(const ServerLine& line, const LineCutter& cutter) {
  ServerStatus s;
  s.state = ServerStatus::State::Refused;
  if (line.kind != ServerLine::Problem::None) {
    s.refusal = line.kind == ServerLine::Problem::Password ? ServerStatus::Refusal::Password
                                                           : ServerStatus::Refusal::Setting;
    s.detail = line.problem;
    return s;
  }
  if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
    s.refusal = ServerStatus::Refusal::NoDriver;
    return s;
  }
  // Reached first with a connection that can be given up at once: Qt's own connect cannot.
  const Reach reach = reachServer(line.connection, cutter, 10000);
  if (reach.outcome == Reach::Outcome::Connected) return {};
  s.detail = reach.detail;
  if (reach.outcome == Reach::Outcome::Refused) {
    s.refusal = ServerStatus::Refusal::Login;
  } else {
    s.state = ServerStatus::State::Unreachable;
  }
  return s;
}

ServerCheck checkServer(const QString& line, const LineCutter& cutter) {
  ServerCheck out;
  ServerStatus& s = out.status;
  const ServerLine checked = checkServerLine(line);
  s = reachArchiveServer(checked, cutter);
  if (s.state != ServerStatus::State::Off) return out;
  static std::atomic<int> serial{0};
  const QString name = QStringLiteral("orvel-server-check-%1").arg(++serial);
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setConnectOptions(checked.connection);
    if (!db.open()) {
      s.state = ServerStatus::State::Unreachable;
      s.detail = db.lastError().databaseText().trimmed();
    } else {
      const ServerSchema schema = prepareServerSchema(db, false);
      QSqlQuery q(db);
      s.detail = schema.error.databaseText().simplified();
      s.state = ServerStatus::State::Synced;
      if (schema.state == ServerSchema::State::Newer) {
        s.state = ServerStatus::State::Refused;
        s.refusal = ServerStatus::Refusal::Newer;
      } else if (schema.state == ServerSchema::State::Missing) {
        out.tablesMissing = true;
        const bool canCreate = q.exec(QStringLiteral("SELECT has_schema_privilege("
                                                     "current_schema(), 'CREATE')")) &&
                               q.next() && q.value(0).toBool();
        if (!canCreate) {
          s.state = ServerStatus::State::Refused;
          s.refusal = ServerStatus::Refusal::NoSchema;
        }
      } else if (schema.state != ServerSchema::State::Ready) {
        s.state = ServerStatus::State::Refused;
        s.refusal = ServerStatus::Refusal::Server;
      } else if (q.exec(QStringLiteral("SELECT count(*) FROM readouts")) && q.next()) {
        out.readouts = q.value(0).toLongLong();
      } else {
        s.state = ServerStatus::State::Refused;
        s.refusal = ServerStatus::Refusal::Server;
        s.detail = q.lastError().databaseText().trimmed();
      }
    }
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
  return out;
}

}  // namespace orvel
