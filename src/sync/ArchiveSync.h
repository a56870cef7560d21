#pragma once

#include "sync/ServerLine.h"
#include "sync/ServerStatus.h"

#include <QByteArray>
#include <QHash>
#include <QSqlError>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QSqlDatabase;
class QSqlQuery;

namespace orvel {

// Keeps this PC's archive and the workshop's server archive in step, one pass at a time: the
// read-outs and notes of this PC the server lacks go out, then what other PCs sent comes in.
// It has connections of its own to both, and is used on one thread only (Qt's connections
// belong to the thread that made them).
//
// Every transfer may be cut at any byte and repeated: a read-out's uuid is its identity on
// both sides, so a row sent or fetched twice is kept once; what was sent is remembered only
// after the server confirmed it, what was fetched only together with the rows themselves. A
// note goes to whichever side holds an older one: the later change wins, by time and then by
// text, so both sides end with the same note whatever order they meet in.
class ArchiveSync {
 public:
  struct Result {
    ServerStatus status;
    int sent = 0;     // rows and notes the server took
    int fetched = 0;  // rows and notes that came in
  };

  // line: registry.ini's [archive] server=; site: the name this PC's rows carry.
  ArchiveSync(QString archivePath, const QString& line, QString site,
              std::shared_ptr<LineCutter> cutter = std::make_shared<LineCutter>());
  ~ArchiveSync();
  ArchiveSync(const ArchiveSync&) = delete;
  ArchiveSync& operator=(const ArchiveSync&) = delete;

  // One pass; progress is told after each batch of a long one.
  Result pass(const std::function<void(const ServerStatus&)>& progress = {});
  // This PC's read-outs and notes the server has not taken yet.
  int waiting();
  // Told, on this object's thread, when the server says another PC sent something.
  std::function<void()> notified;

  static constexpr int kUploadRows = 500;  // rows in one statement to the server
  static constexpr int kFetchRows = 500;   // rows asked for, and stored, at once
  // Fetched rows stored in one transaction at most; a read-out the fitter keeps meanwhile
  // waits for one row, not for the transaction.
  static constexpr int kStoreRows = 100;

  struct Row {
    qint64 order = 0;  // change_seq here, rev on the server
    QString uuid, takenAt, source;
    QByteArray block;
    QString line1, line2, site, note, noteChanged;
  };

 private:
  Result passOnce(const std::function<void(const ServerStatus&)>& progress, bool* lost);
  // These two give a status of State::Off when all went well, or why it did not.
  ServerStatus openLocal();
  ServerStatus openServer();
  void closeServer();
  ServerStatus serverFailed(const QSqlError& error);
  ServerStatus localFailed(const QString& detail);
  void closeLocal();
  bool failedHere(const QSqlQuery& q);  // keeps the query's error for the status; false
  bool readCursors();
  bool pending(std::vector<Row>& rows);
  bool markSent(qint64 upTo);
  bool send(const std::vector<Row>& rows);
  bool fetch(std::vector<Row>& rows);
  bool store(std::vector<Row>& rows, int* stored);
  QString literal(const QString& text) const;

  QString path_;
  ServerLine line_;
  QString site_;
  std::shared_ptr<LineCutter> cutter_;
  QString localName_;
  QString serverName_;
  std::unique_ptr<QSqlDatabase> local_;
  std::unique_ptr<QSqlDatabase> server_;
  unsigned long long inode_ = 0;
  QString serverId_;
  QSqlError serverError_;
  QString localError_;
  QHash<QString, qint64> cars_;  // car lines: their id here
  qint64 sent_ = 0;
  qint64 fetched_ = 0;
};

}  // namespace orvel
