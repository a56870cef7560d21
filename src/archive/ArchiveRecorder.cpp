#include "archive/ArchiveRecorder.h"

#include "core/Dialogs.h"
#include "core/Language.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace orvel {

namespace {

// How often waiting read-outs are tried again; each try gives up at once on a held lock, so the
// live loop never stalls behind a workshop script.
constexpr Millis kRetryEvery{1000};
constexpr qint64 kMaxWaitingFileBytes = 16 * 1024 * 1024;

// The title of news about the archive that asks nothing of the fitter.
QString archiveTitle() {
  return tr3("Archiwum", "Archive", "Archivio");
}

QString reasonText(StoreFailure failure) {
  switch (failure) {
    case StoreFailure::Busy:
      return tr3("inny program (na przykład skrypt warsztatu) trzyma bazę archiwum zajętą",
                 "another program (a workshop script, for example) holds the archive's database",
                 "un altro programma (per esempio uno script dell'officina) tiene occupato il "
                 "database dell'archivio");
    case StoreFailure::ReadOnly:
      return tr3("nie można zapisywać w pliku archiwum lub w jego folderze",
                 "the archive file or its folder cannot be written",
                 "il file dell'archivio o la sua cartella non è scrivibile");
    case StoreFailure::None:
    case StoreFailure::Other:
      break;
  }
  return tr3("baza archiwum zgłosiła błąd", "the archive's database reported an error",
             "il database dell'archivio ha segnalato un errore");
}

QJsonObject toJson(const CarLines& car, ReadoutSource source, const SettingsBlock& block,
                   const QDateTime& takenAt) {
  return {{QStringLiteral("car1"), car.line1},
          {QStringLiteral("car2"), car.line2},
          {QStringLiteral("source"), sourceCode(source)},
          {QStringLiteral("taken_at"), takenAt.toUTC().toString(Qt::ISODateWithMs)},
          {QStringLiteral("block"),
           QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(block.data()),
                                          static_cast<int>(block.size()))
                                   .toHex())}};
}

}  // namespace

ArchiveRecorder::ArchiveRecorder(QString path, TimerService& timers)
    : store_(std::move(path)),
      retry_(timers.createHandle([this] { guarded([this] { writeWaiting(); }); })) {
  // Read-outs an earlier run could not store go first, once the program is up.
  loadWaiting();
  if (!waiting_.empty()) retry_->start(Millis(100), kRetryEvery);
}

ArchiveRecorder::~ArchiveRecorder() {
  retry_->stop();
  // A last try; what still cannot be written stays in the waiting file for the next run.
  if (!waiting_.empty()) {
    store_.setLockWait(500);
    for (auto it = waiting_.begin(); it != waiting_.end();) {
      if (!store_.add(it->car, it->source, it->block, it->takenAt)) break;
      it = waiting_.erase(it);
    }
    saveWaiting();
  }
}

QString ArchiveRecorder::problemText(const ArchiveStore& store) {
  return reasonText(store.failure()) + tr3("\r\nSzczegóły: ", "\r\nDetails: ", "\r\nDettagli: ") +
         store.detail();
}

QString ArchiveRecorder::waitingFile() const {
  const QFileInfo db(store_.path());
  return db.absoluteDir().filePath(db.completeBaseName() + QStringLiteral("-oczekujace.json"));
}

std::optional<qint64> ArchiveRecorder::keep(const CarLines& car, ReadoutSource source,
                                            const SettingsBlock& block) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  // Behind read-outs that still wait, a new one waits too: the archive keeps their order.
  if (!waiting_.empty()) writeWaiting();
  std::optional<qint64> id;
  if (waiting_.empty()) id = store_.add(car, source, block, now);
  tellProblems();
  if (id) {
    if (added) added(*id);
    return id;
  }
  const bool firstOfItsKind = waiting_.empty();
  waiting_.push_back({car, source, block, now});
  const bool saved = saveWaiting();
  startRetrying();
  if (firstOfItsKind) {
    const QString held =
        saved ? tr3("Do tego czasu czeka w pliku\r\n%1", "Until then it waits in the file\r\n%1",
                    "Fino ad allora attende nel file\r\n%1")
                    .arg(QDir::toNativeSeparators(waitingFile()))
              : tr3("Do tego czasu jest tylko w pamięci programu: zamknięcie programu by go "
                    "straciło.",
                    "Until then it is only in the program's memory: closing the program would "
                    "lose it.",
                    "Fino ad allora è solo nella memoria del programma: chiudere il programma lo "
                    "perderebbe.");
    showMessage(tr3("Odczytu nie można teraz zapisać w archiwum: %1.\r\n"
                    "Program go przechowuje i zapisze, gdy tylko archiwum będzie wolne. %2\r\n"
                    "Praca ze sterownikiem trwa dalej.",
                    "The read-out cannot be stored in the archive now: %1.\r\n"
                    "The program keeps it and stores it as soon as the archive is free. %2\r\n"
                    "Work with the controller goes on.",
                    "La lettura non può essere salvata ora nell'archivio: %1.\r\n"
                    "Il programma la conserva e la salva appena l'archivio è libero. %2\r\n"
                    "Il lavoro con la centralina continua.")
                    .arg(problemText(store_), held),
                warningTitle(), MessageIcon::Warning);
  }
  return std::nullopt;
}

bool ArchiveRecorder::writeWaiting() {
  if (waiting_.empty()) return true;
  store_.setLockWait(0);
  std::vector<qint64> ids;
  while (!waiting_.empty()) {
    const Waiting& w = waiting_.front();
    const auto id = store_.add(w.car, w.source, w.block, w.takenAt);
    if (!id) break;
    ids.push_back(*id);
    waiting_.erase(waiting_.begin());
  }
  store_.setLockWait(200);
  if (ids.empty()) return false;
  saveWaiting();
  writtenAfterWaiting_ += static_cast<int>(ids.size());
  for (qint64 id : ids)
    if (added) added(id);
  if (!waiting_.empty()) return false;
  retry_->stop();
  const int written = writtenAfterWaiting_;
  writtenAfterWaiting_ = 0;
  showMessage(tr3("Odczyty, które czekały na archiwum (%1), są już w nim zapisane.",
                  "The read-outs that were waiting for the archive (%1) are now stored in it.",
                  "Le letture in attesa dell'archivio (%1) sono ora salvate.")
                  .arg(written),
              archiveTitle(), MessageIcon::Information);
  return true;
}

void ArchiveRecorder::startRetrying() {
  if (!retry_->isActive()) retry_->start(kRetryEvery, kRetryEvery);
}

bool ArchiveRecorder::saveWaiting() {
  const QString path = waitingFile();
  if (waiting_.empty()) return !QFileInfo::exists(path) || QFile::remove(path);
  QJsonArray rows;
  for (const Waiting& w : waiting_)
    rows.append(toJson(w.car, w.source, w.block, w.takenAt));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(QJsonDocument(rows).toJson());
  return file.commit();
}

void ArchiveRecorder::loadWaiting() {
  QFile file(waitingFile());
  if (!QFileInfo(file.fileName()).isFile() || file.size() > kMaxWaitingFileBytes ||
      !file.open(QIODevice::ReadOnly))
    return;
  const QJsonArray rows = QJsonDocument::fromJson(file.readAll()).array();
  for (const QJsonValue& value : rows) {
    const QJsonObject o = value.toObject();
    const QByteArray bytes =
        QByteArray::fromHex(o.value(QStringLiteral("block")).toString().toLatin1());
    const auto source = sourceFromCode(o.value(QStringLiteral("source")).toString());
    const QDateTime takenAt =
        QDateTime::fromString(o.value(QStringLiteral("taken_at")).toString(), Qt::ISODateWithMs);
    if (bytes.size() != kSettingsBlockLength || !source || !takenAt.isValid()) continue;
    Waiting w;
    w.car = {o.value(QStringLiteral("car1")).toString(),
             o.value(QStringLiteral("car2")).toString()};
    w.source = *source;
    std::copy(bytes.begin(), bytes.end(), w.block.begin());
    w.takenAt = takenAt;
    waiting_.push_back(w);
  }
}

void ArchiveRecorder::tellProblems() {
  if (!notice_.isEmpty()) {
    const QString text = notice_;
    notice_.clear();
    showMessage(text, archiveTitle(), MessageIcon::Information);
  }
  if (store_.movedAside().isEmpty() || damageTold_) return;
  damageTold_ = true;
  showMessage(tr3("Plik archiwum był uszkodzony; przeniesiono go do\r\n%1\r\n"
                  "i założono nowe archiwum.",
                  "The archive file was damaged; it has been moved to\r\n%1\r\n"
                  "and a new archive started.",
                  "Il file dell'archivio era danneggiato; è stato spostato in\r\n"
                  "%1\r\ne un nuovo archivio è stato creato.")
                  .arg(store_.movedAside()),
              warningTitle(), MessageIcon::Warning);
}

}  // namespace orvel
