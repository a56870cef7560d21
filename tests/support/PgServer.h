#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace orvel::test {

// A PostgreSQL 15 server of the test's own: initdb into a temporary folder, a Unix socket there
// and no network at all, stopped and removed at the end. As root it runs as the postgres user
// the Debian package creates. Missing binaries are an error, never a reason to skip.
class PgServer {
 public:
  // durable: fsync as a real installation has it (for measurements); off, tests run faster.
  explicit PgServer(bool durable = false);
  ~PgServer();

  // initdb on the first call; false with error() when the server cannot be had.
  bool start();
  // immediate: as a crash or a pulled plug, no goodbye to the clients.
  bool stop(bool immediate = false);
  const QString& error() const { return error_; }

  QString socketFolder() const { return dir_.filePath(QStringLiteral("sock")); }
  static constexpr int kPort = 5432;
  static QString superuser() { return QStringLiteral("postgres"); }
  // A libpq line to this server, through another socket folder when one is given.
  QString line(const QString& database, const QString& user = superuser(),
               const QString& folder = QString()) const;

  // As the superuser, in a database: statements, or the first column of the last one's rows.
  bool exec(const QString& sql, const QString& database = QStringLiteral("postgres"));
  QStringList query(const QString& sql, const QString& database = QStringLiteral("postgres"),
                    bool* ok = nullptr);
  // The user logs in with a password from now on.
  bool requirePassword(const QString& user);
  // psql -f, as an administrator runs a file.
  bool runFile(const QString& path, const QString& database);

 private:
  bool run(const QString& program, const QStringList& arguments);

  bool durable_;
  QTemporaryDir dir_;
  QString bin_;
  bool initialised_ = false;
  bool running_ = false;
  QString error_;
};

}  // namespace orvel::test
