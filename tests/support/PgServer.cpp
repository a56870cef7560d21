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
// Debian keeps the server's programs out of PATH.
const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");
}  // namespace

bool PgServer::run(const QString& program, const QStringList& arguments) {
  QProcess p;
  // The server refuses root: as root it runs as postgres, whose files these are.
  if (geteuid() == 0)
    p.start("runuser", QStringList{"-u", "postgres", "--", kBin + program} + arguments);
  else
    p.start(kBin + program, arguments);
  const bool ok =
      p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (!ok) error_ = program + ": " + p.readAllStandardError() + p.readAll() + p.errorString();
  return ok;
}

bool PgServer::start() {
  if (running_) return true;
  if (!QFileInfo(kBin + "initdb").isExecutable()) {
    error_ = "PostgreSQL 15 is not installed (scripts/install-deps.sh installs it)";
    return false;
  }
  if (!initialised_) {
    QDir(dir_.path()).mkpath("sock");
    const passwd* pg = getpwnam("postgres");
    if (geteuid() == 0)
      for (const QString& path : {dir_.path(), socketFolder()})
        if (!pg || chown(QFile::encodeName(path).constData(), pg->pw_uid, pg->pw_gid) != 0)
          return false;
    initialised_ = run("initdb", {"-D", dir_.filePath("data"), "-U", "postgres", "-A", "trust",
                                  "-E", "UTF8", "--locale=C", "-N"});
    if (!initialised_) return false;
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
  // The connections to a stopped server are dead: new ones are made on the next query.
  for (const QString& name : QSqlDatabase::connectionNames())
    if (name.startsWith("pgserver-")) QSqlDatabase::removeDatabase(name);
  if (running_)
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

QStringList PgServer::query(const QString& sql, const QString& database, bool* done) {
  QStringList out;
  const QString name = "pgserver-" + database;
  {
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name)
                                                   : QSqlDatabase::addDatabase("QPSQL", name);
    if (!db.isOpen()) {
      db.setConnectOptions(line(database));
      db.open();
    }
    QSqlQuery q(db);
    bool ok = q.exec(sql);
    while (ok) {  // several statements: the last one's rows
      out.clear();
      while (q.next())
        out << q.value(0).toString();
      if (!q.nextResult()) break;
    }
    error_ = q.lastError().text();
    if (done) *done = ok && !q.lastError().isValid();
  }
  return out;
}

bool PgServer::runFile(const QString& path, const QString& database) {
  QProcess p;
  p.start(kBin + "psql", {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", socketFolder(), "-p",
                          QString::number(kPort), "-U", "postgres", "-d", database, "-f", path});
  const bool ok = p.waitForFinished(60000) && p.exitCode() == 0;
  error_ = p.readAllStandardError();
  return ok;
}

bool PgServer::requirePassword(const QString& user) {
  QFile hba(dir_.filePath("data/pg_hba.conf"));
  QByteArray rules = "local all " + user.toUtf8() + " scram-sha-256\n";
  if (!hba.open(QIODevice::ReadWrite)) return false;
  rules += hba.readAll();
  hba.seek(0);
  return hba.write(rules) == rules.size() && (hba.close(), exec("SELECT pg_reload_conf()"));
}

}  // namespace orvel::test
