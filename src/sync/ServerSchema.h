#pragma once

#include "sync/ServerStatus.h"

#include <QSqlError>
#include <QString>

class QSqlDatabase;

namespace orvel {

// The schema of the shared archive on the server: resources/server-schema.sql, the file an
// administrator runs, compiled into the program so that both are always the same.
constexpr int kServerSchemaVersion = 1;
const char* serverSchemaSql();

struct ServerSchema {
  enum class State { Ready, Missing, Newer, NotAllowed, Failed } state = State::Failed;
  int version = 0;
  QString serverId;  // the archive's identity: another server, or one made anew, has another
  QSqlError error;   // why it failed
};
// Reads the server's schema version; a server without the archive's tables, or with older ones,
// gets them made or brought up to date when asked to and this connection's role may; when not
// asked to, it is Missing.
ServerSchema prepareServerSchema(QSqlDatabase& db, bool create = true);

// What "Test connection" finds: whether the line can be used, the server reached and the
// archive used, without changing anything on the server.
struct ServerCheck {
  ServerStatus status;  // Synced when the archive can be used from this PC
  bool tablesMissing = false;
  qint64 readouts = 0;
};
class LineCutter;
ServerCheck checkServer(const QString& line, const LineCutter& cutter);

// Whether the server takes this PC on this line: Off when it does, otherwise why not (a line that
// cannot be used, no driver, a refused login, or no server there).
struct ServerLine;
ServerStatus reachArchiveServer(const ServerLine& line, const LineCutter& cutter);

}  // namespace orvel
