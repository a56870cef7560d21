#include "support/PgServer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <pwd.h>
#include <unistd.h>

namespace orvel::test {

namespace {

QString binaries() {
  // Debian's PostgreSQL 15 keeps its server programs out of PATH.
  for (const QString& dir : {QStringLiteral("/usr/lib/postgresql/15/bin"), QString()}) {
    const QString initdb = dir.isEmpty() ? QStringLiteral("initdb") : dir + "/initdb";
    if (QFileInfo(initdb).isExecutable()) return dir;
  }
  return QString();
}

}  // namespace

PgServer::PgServer(bool durable) : durable_(durable), bin_(binaries()) {
  dir_.setAutoRemove(true);
}

PgServer::~PgServer() {
  stop();
}

bool PgServer::run(const QString& program, const QStringList& arguments) {
  QProcess p;
  // initdb and the server refuse root: as root they run as postgres, whose files they are.
  if (geteuid() == 0) {
    p.start(QStringLiteral("runuser"),
            QStringList{"-u", superuser(), "--", bin_ + "/" + program} + arguments);
  } else {
    p.start(bin_ + "/" + program, arguments);
  }
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    error_ = program + ": " + QString::fromLocal8Bit(p.readAllStandardError() + p.readAll()) +
             p.errorString();
    return false;
  }
  return true;
}

bool PgServer::start() {
  if (running_) return true;
  if (bin_.isEmpty()) {
    error_ = "PostgreSQL 15 is not installed (scripts/install-deps.sh installs it)";
    return false;
  }
  if (!initialised_) {
    QDir(dir_.path()).mkpath("sock");
    if (geteuid() == 0) {
      const passwd* pg = getpwnam("postgres");
      if (!pg) {
        error_ = "no postgres user";
        return false;
      }
      for (const QString& path : {dir_.path(), socketFolder()})
        if (chown(QFile::encodeName(path).constData(), pg->pw_uid, pg->pw_gid) != 0) return false;
    }
    if (!run("initdb", {"-D", dir_.filePath("data"), "-U", superuser(), "-A", "trust", "-E", "UTF8",
                        "--locale=C", "-N"}))
      return false;
    initialised_ = true;
  }
  QString options = QString("-p %1 -c listen_addresses='' -c unix_socket_directories='%2'")
                        .arg(kPort)
                        .arg(socketFolder());
  if (!durable_) options += " -c fsync=off -c synchronous_commit=off -c full_page_writes=off";
  running_ = run("pg_ctl", {"-D", dir_.filePath("data"), "-l", dir_.filePath("server.log"), "-w",
                            "-o", options, "start"});
  return running_;
}

bool PgServer::stop(bool immediate) {
  if (!running_) return true;
  running_ = !run("pg_ctl", {"-D", dir_.filePath("data"), "-m", immediate ? "immediate" : "fast",
                             "-w", "stop"});
  return !running_;
}

QString PgServer::line(const QString& database, const QString& user, const QString& folder) const {
  return QString("host=%1 port=%2 dbname=%3 user=%4 sslmode=disable gssencmode=disable")
      .arg(folder.isEmpty() ? socketFolder() : folder)
      .arg(kPort)
      .arg(database, user);
}

bool PgServer::exec(const QString& sql, const QString& database) {
  bool ok = false;
  query(sql, database, &ok);
  return ok;
}

bool PgServer::requirePassword(const QString& user) {
  QFile hba(dir_.filePath("data/pg_hba.conf"));
  if (!hba.open(QIODevice::ReadOnly)) return false;
  const QByteArray rules = "local all " + user.toUtf8() + " scram-sha-256\n" + hba.readAll();
  hba.close();
  return hba.open(QIODevice::WriteOnly | QIODevice::Truncate) && hba.write(rules) == rules.size() &&
         (hba.close(), exec("SELECT pg_reload_conf()"));
}

QStringList PgServer::query(const QString& sql, const QString& database, bool* done) {
  QStringList out;
  const QString name = QStringLiteral("pgserver-") + database;
  {
    QSqlDatabase db = QSqlDatabase::contains(name)
                          ? QSqlDatabase::database(name)
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!db.isOpen()) {
      db.setConnectOptions(line(database));
      db.open();
    }
    QSqlQuery q(db);
    bool ok = q.exec(sql);
    // A connection of a server since restarted is found dead on first use, and made anew.
    const QString state = q.lastError().nativeErrorCode();
    if (!ok && (state.isEmpty() || state.startsWith("57") || state.startsWith("08"))) {
      db.close();
      db.open();
      q = QSqlQuery(db);
      ok = q.exec(sql);
    }
    // Several statements: the value is the last one's.
    if (ok) {
      do {
        out.clear();
        while (q.next())
          out << q.value(0).toString();
      } while (q.nextResult());
    }
    error_ = q.lastError().text();
    if (done) *done = ok && !q.lastError().isValid();
  }
  return out;
}

bool PgServer::runFile(const QString& path, const QString& database) {
  QProcess p;
  p.start(bin_ + "/psql", {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", socketFolder(), "-p",
                           QString::number(kPort), "-U", superuser(), "-d", database, "-f", path});
  const bool ok = p.waitForFinished(60000) && p.exitCode() == 0;
  error_ = QString::fromLocal8Bit(p.readAllStandardError());
  return ok;
}

}  // namespace orvel::test
