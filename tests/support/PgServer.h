#pragma once

#include <QStringList>
#include <QTemporaryDir>

namespace orvel::test {

// A PostgreSQL 15 server of the test's own: initdb into a temporary folder, a Unix socket there
// and no network at all, stopped and removed at the end. As root it runs as the postgres user
// the Debian package creates. Missing binaries are an error, never a reason to skip.
class PgServer {
 public:
  // durable: fsync and commits as a real installation has them (for measurements).
  explicit PgServer(bool durable = false) : durable_(durable) {}
  ~PgServer() { stop(); }

  bool start();  // initdb on the first call; false with error() when there is no server
  bool stop(bool immediate = false);  // immediate: as a crash, no goodbye to the clients
  const QString& error() const { return error_; }

  static constexpr int kPort = 5432;
  QString socketFolder() const { return dir_.filePath("sock"); }
  // A libpq line to this server, as the superuser unless told, through another socket folder
  // when one is given.
  QString line(const QString& database, const QString& user = "postgres",
               const QString& folder = QString()) const;

  // As the superuser: statements, or the first column of the last one's rows.
  bool exec(const QString& sql, const QString& database = "postgres");
  QStringList query(const QString& sql, const QString& database = "postgres", bool* ok = nullptr);
  bool runFile(const QString& path, const QString& database);  // psql -f, as an administrator
  bool requirePassword(const QString& user);                   // from now on, for that user

 private:
  bool run(const QString& program, const QStringList& arguments);

  bool durable_;
  QTemporaryDir dir_;
  bool initialised_ = false;
  bool running_ = false;
  QString error_;
};

}  // namespace orvel::test
