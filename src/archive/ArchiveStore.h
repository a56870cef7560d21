#pragma once

#include "settings/SettingsDecoder.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSqlDatabase;
class QSqlQuery;

namespace orvel {

// Where a kept settings block came from.
enum class ReadoutSource {
  Read,    // an F5 read-out, as the controller sent it
  Import,  // an .orv settings file, rebuilt into a block
  Write,   // settings written from the archive, as the controller gave them back
  // settings written from the archive whose read-back did not show what was sent: what the
  // controller gave back, kept apart from the writes it confirmed
  WriteUnconfirmed,
};
// "read", "import", "write", "write-unconfirmed": what the database holds
QString sourceCode(ReadoutSource source);
std::optional<ReadoutSource> sourceFromCode(const QString& code);

// The two car lines of the user data (dane.cfg lines 6 and 7).
struct CarLines {
  QString line1;
  QString line2;
  bool operator==(const CarLines& o) const { return line1 == o.line1 && line2 == o.line2; }
};

// A read-out's place in the list, newest first, and its car.
struct ListEntry {
  qint64 id = 0;
  qint64 carId = 0;
};

// One line of the archive's list.
struct ReadoutSummary {
  qint64 id = 0;
  QString takenAt;  // ISO 8601 UTC, as stored
  QString source;   // as stored
  CarLines car;
  QString note;
  QString site;  // the PC or site that took it; empty: this PC
};

struct Readout {
  qint64 id = 0;
  CarLines car;
  QDateTime takenAt;  // UTC
  ReadoutSource source = ReadoutSource::Read;
  SettingsBlock block{};
  QString note;
  QString site;  // as in ReadoutSummary
};

// Why the last operation failed, as the fitter is told it.
enum class StoreFailure {
  None,
  Busy,      // another program holds the database (a workshop script in a transaction)
  ReadOnly,  // the file or its folder cannot be written
  Other,
};

// The workshop archive: one SQLite file, every kept settings block with the car it belongs to.
// The schema is plain so that a workshop's own scripts can read it:
//   cars(id, line1, line2)  one row per distinct pair of car lines
//   readouts(id, car_id, taken_at, source, block, note,
//            uuid, site, note_changed, change_seq)
// uuid is a read-out's identity on every PC that shares the archive through a server; site the
// PC that took it, empty for this one; note_changed when the note was last changed; change_seq
// orders what this PC has to send (see ArchiveSync).
// A file that SQLite finds damaged is moved aside, never written over, and a new one started.
// Only SQLite opens the file and its journal files (see GuardedFiles).
class ArchiveStore {
 public:
  // PRAGMA user_version; a file of an older version is brought up to this one step by step.
  static constexpr int kSchemaVersion = 3;
  // The version that gave every read-out the identity and change order a server transfer uses.
  static constexpr int kServerIdentityVersion = 3;
  static QString fileName() { return QStringLiteral("archiwum.sqlite"); }

  explicit ArchiveStore(QString path);
  ~ArchiveStore();
  ArchiveStore(const ArchiveStore&) = delete;
  ArchiveStore& operator=(const ArchiveStore&) = delete;

  // Opens the file, creating or migrating it; false (see error()) when it cannot be used.
  bool open();
  bool isOpen() const;
  const QString& path() const { return path_; }
  // Why the last operation failed: the path and the driver's text.
  const QString& error() const { return error_; }
  // The last failure's kind and the driver's own text alone.
  StoreFailure failure() const { return failure_; }
  const QString& detail() const { return detail_; }
  // How long a write waits for a lock another program holds before it fails (200 ms unless
  // set); 0 fails at once.
  void setLockWait(int ms);
  // Where a damaged file was moved, once one was; empty otherwise.
  const QString& movedAside() const { return movedAside_; }

  std::optional<qint64> add(const CarLines& car, ReadoutSource source, const SettingsBlock& block,
                            const QDateTime& takenAt, const QString& note = QString());
  // Newest first.
  std::vector<ReadoutSummary> list();
  // The list's order alone, read from one index without touching the rows: a long archive's
  // list opens at once, and its lines are read as they come into view.
  std::vector<ListEntry> listOrder();
  QHash<qint64, CarLines> cars();
  // The notes that are not empty, by read-out; read from their own index.
  QHash<qint64, QString> notes();
  std::vector<ReadoutSummary> summaries(const std::vector<qint64>& ids);
  std::optional<Readout> readout(qint64 id);
  bool setNote(qint64 id, const QString& note);
  // Told after a read-out was added or a note changed, on the thread that did it.
  void setChangeListener(std::function<void()> listener) { changed_ = std::move(listener); }

 private:
  bool openFile();
  enum class MigrationResult { Ok, Damaged, Failed };
  MigrationResult migrate(QSqlQuery& q);
  // The steps from one schema version to the next, in order; each runs inside the migration's
  // transaction.
  using Run = std::function<bool(const QString& sql)>;
  bool addServerIdentity(const Run& run);  // ArchiveIdentity.cpp
  void close();
  // SQLite called the file damaged: it is moved aside and a new file started.
  bool damaged(const QString& nativeCode) const;
  bool startOver();
  bool fail(const QString& what, const QString& detail, const QString& nativeCode = QString());

  QString path_;
  QString connection_;
  QString error_;
  QString detail_;
  StoreFailure failure_ = StoreFailure::None;
  int lockWaitMs_ = 200;
  QString movedAside_;
  std::unique_ptr<QSqlDatabase> db_;
  std::unique_ptr<QSqlQuery> addCar_, findCar_, addReadout_;
  std::function<void()> changed_;
};

}  // namespace orvel
