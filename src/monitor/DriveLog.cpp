#include "monitor/DriveLog.h"

#include "core/Dialogs.h"
#include "core/FileDialogs.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "core/Registry.h"
#include "core/TextFile.h"
#include "link/LinkControl.h"
#include "monitor/OscilloscopePanel.h"
#include "ui_Panel1.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPalette>

#include <cstring>
#include <memory>

namespace orvel {

namespace {

// m:ss, or h:mm:ss from an hour on; whole seconds, truncated.
QString clockText(qint64 ms) {
  const qint64 s = ms / 1000;
  const QLatin1Char zero('0');
  if (s < 3600) return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, zero);
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600)
      .arg(s / 60 % 60, 2, 10, zero)
      .arg(s % 60, 2, 10, zero);
}

QString shown(const QString& path) {
  return QDir::toNativeSeparators(path);
}

void warn(const QString& text) {
  showMessage(text, warningTitle(), MessageIcon::Warning);
}

}  // namespace

DriveLog::DriveLog(OscilloscopePanel& scope, LinkView& view, TimerService& timers,
                   QString installationDirectory, QWidget* dialogParent)
    : QObject(scope.panel()),
      scope_(scope),
      view_(view),
      timers_(timers),
      installDir_(std::move(installationDirectory)),
      dialogParent_(dialogParent),
      toggle_(scope.ui().BtnZapis),
      player_(timers) {
  onEvent(toggle_, &QPushButton::clicked, this, [this] { BtnZapisClick(); });
  scope_.liveFrameArrived = [this](const RawLiveFrame& raw, const LiveSettings& settings) {
    record(raw, settings);
  };
  scope_.liveModeEnded = [this] { stopRecording(); };
  player_.showRow = [this](const DriveLogRow& row) { showRow(row); };
  player_.finished = [this] {
    scope_.setReplayPaused(true);
    showReplayStatus();
  };
  showRecordingState();
}

// The panel goes first (it was made first, in the same frame); nothing of it is touched here. A
// file still being read is waited for; what it would have started is dropped with this object.
DriveLog::~DriveLog() {
  if (loader_.joinable()) loader_.join();
}

struct DriveLog::Loaded {
  FileContent content;
  ParsedDriveLog log;
};

DriveLog::Loaded DriveLog::load(const QString& path) {
  Loaded loaded;
  loaded.content = readRegularFile(path, kMaxLogBytes);
  if (loaded.content.ok()) {
    loaded.log = parseDriveLog(loaded.content.bytes);
    loaded.content.bytes.clear();
  }
  return loaded;
}

QString DriveLog::logsFolder(const QString& installationDirectory) {
  return installationFile(installationDirectory, QStringLiteral("logs"));
}

QString DriveLog::refusal(const FileContent& content, const QString& path, Use use) {
  using Failure = FileContent::Failure;
  switch (content.failure) {
    case Failure::None:
      break;
    case Failure::Missing:
      return tr3("Nie znaleziono pliku %1", "File %1 not found", "File %1 non trovato")
          .arg(shown(path));
    case Failure::NotRegular:
      return tr3("%1 nie jest zwykłym plikiem", "%1 is not a regular file",
                 "%1 non è un file regolare")
          .arg(shown(path));
    case Failure::TooLarge:
      return (use == Use::Replay ? tr3("Plik %1 jest za duży do odtworzenia (ponad %2 MB)",
                                       "The file %1 is too large to replay (over %2 MB)",
                                       "Il file %1 è troppo grande da riprodurre (oltre %2 MB)")
                                 : tr3("Plik %1 jest za duży (ponad %2 MB)",
                                       "The file %1 is too large (over %2 MB)",
                                       "Il file %1 è troppo grande (oltre %2 MB)"))
          .arg(shown(path))
          .arg(kMaxLogBytes / (1024 * 1024));
    case Failure::Unreadable:
      return tr3("Nie można odczytać pliku %1:\r\n%2", "Cannot read the file %1:\r\n%2",
                 "Impossibile leggere il file %1:\r\n%2")
          .arg(shown(path), QString::fromLocal8Bit(std::strerror(content.osError)));
  }
  return {};
}

QString DriveLog::badReferenceNote(int rows) {
  if (rows == 0) return {};
  return tr3(", w tym z okresem odniesienia obrotów ponad %1: %2",
             ", of which with an idle period reference above %1: %2",
             ", di cui con periodo di riferimento giri oltre %1: %2")
      .arg(kMaxIdleReference)
      .arg(rows);
}

// ---------------------------------------------------------------------------------------------
// Recording

void DriveLog::BtnZapisClick() {
  if (!toggle_->isChecked()) {
    stopRecording();
    return;
  }
  // Checked only once the file is really there: a log that cannot be started leaves the toggle
  // off, and the guard shows why.
  toggle_->setChecked(false);
  recorder_.start(logsFolder(installDir_), QDateTime::currentDateTime(), timers_.now());
  showRecordingState();
}

void DriveLog::record(const RawLiveFrame& raw, const LiveSettings& settings) {
  if (!recorder_.isRecording()) return;
  if (recorder_.record(timers_.now(), raw, settings)) return;
  showRecordingState();
  showErrorBox(tr3("Błąd zapisu do pliku %1:\r\n%2\r\nZapis przerwano; to, co zapisano "
                   "wcześniej, pozostaje w pliku",
                   "Error writing to the file %1:\r\n%2\r\nRecording stopped; what was written "
                   "before stays in the file",
                   "Errore di scrittura nel file %1:\r\n%2\r\nRegistrazione interrotta; quanto "
                   "già scritto resta nel file")
                   .arg(shown(recorder_.filePath()), recorder_.errorText()));
}

void DriveLog::stopRecording() {
  const bool was = recorder_.isRecording();
  recorder_.stop();
  showRecordingState();
  // Where the log went, said where the fitter looks.
  if (was) {
    view_.setStatusTextFrom([path = QFileInfo(recorder_.filePath()).absoluteFilePath()] {
      return tr3("Zapis zakończony: %1", "Recording finished: %1", "Registrazione terminata: %1")
          .arg(shown(path));
    });
  }
}

void DriveLog::showRecordingState() {
  const bool on = recorder_.isRecording();
  toggle_->setChecked(on);
  // A red caption while recording: the pressed look alone is easy to miss. Otherwise the
  // button follows the panel's palette, its disabled look during a replay included.
  QPalette palette;
  if (on) {
    palette = toggle_->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive})
      palette.setColor(group, QPalette::ButtonText, QColor(200, 0, 0));
  }
  toggle_->setPalette(palette);
  if (on) {
    toggle_->setToolTip(
        tr3("Zapis do pliku %1", "Recording to the file %1", "Registrazione nel file %1")
            .arg(shown(recorder_.filePath())));
  } else if (!recorder_.filePath().isEmpty()) {
    toggle_->setToolTip(tr3("Ostatni zapis: %1", "Last recording: %1", "Ultima registrazione: %1")
                            .arg(shown(recorder_.filePath())));
  } else {
    toggle_->setToolTip(tr3("Zapis przebiegów do pliku CSV w folderze %1",
                            "Records the traces to a CSV file in the folder %1",
                            "Registra i dati in un file CSV nella cartella %1")
                            .arg(shown(QFileInfo(logsFolder(installDir_)).absoluteFilePath())));
  }
}

// ---------------------------------------------------------------------------------------------
// Replay

void DriveLog::Odtworzzapis1Click() {
  // The logs are where a replay starts the first time.
  const QString folder = logsFolder(installDir_);
  const QString path = FileDialogs::current().openFileName(
      dialogParent_, DialogFolder::start(QFileInfo(folder).isDir() ? folder : installDir_),
      tr3("Zapisy jazdy (*.csv);;Wszystkie pliki (*)", "Drive logs (*.csv);;All files (*)",
          "Registrazioni (*.csv);;Tutti i file (*)"),
      tr3("Odtwórz zapis", "Replay log", "Riproduci registrazione"));
  if (path.isEmpty()) return;
  DialogFolder::remember(path);
  replayFile(path);
}

void DriveLog::replayFile(const QString& path) {
  // The panel shows one thing at a time; the menu item is disabled while it is in use.
  if (loading_ || player_.isActive() || !scope_.panel()->isHidden()) return;
  const QFileInfo info(path);
  // A file too large is refused at once, unread.
  if (info.isFile() && info.size() > kBackgroundBytes && info.size() <= kMaxLogBytes) {
    loadInBackground(path);
    return;
  }
  startReplay(path, load(path));
}

void DriveLog::loadInBackground(const QString& path) {
  loading_ = true;
  view_.setStatusText(
      tr3("Wczytywanie pliku %1...", "Reading the file %1...", "Lettura del file %1...")
          .arg(shown(path)));
  if (loader_.joinable()) loader_.join();
  loader_ = std::thread([this, path] {
    auto loaded = std::make_shared<Loaded>(load(path));
    // Handed to the window's thread; dropped if this object is gone by then.
    QMetaObject::invokeMethod(
        this,
        [this, path, loaded] {
          loading_ = false;
          view_.setStatusText(QString());
          if (closing_) return;
          guarded([&] { startReplay(path, std::move(*loaded)); });
        },
        Qt::QueuedConnection);
  });
}

void DriveLog::startReplay(const QString& path, Loaded loaded) {
  // The live mode may have taken the panel while the file was read.
  if (player_.isActive() || !scope_.panel()->isHidden()) return;
  const FileContent& content = loaded.content;
  if (!content.ok()) {
    warn(refusal(content, path, Use::Replay));
    return;
  }
  ParsedDriveLog log = std::move(loaded.log);
  const QString name = QFileInfo(path).fileName();
  if (!log.recognised) {
    warn(tr3("Plik %1 nie jest zapisem jazdy", "The file %1 is not a drive log",
             "Il file %1 non è una registrazione di guida")
             .arg(shown(path)));
    return;
  }
  skipped_ = log.skipped;
  if (log.rows.empty()) {
    warn(tr3("Plik %1 nie zawiera żadnej klatki do odtworzenia (pominięte wiersze: %2%3)",
             "The file %1 holds no frame to replay (rows skipped: %2%3)",
             "Il file %1 non contiene fotogrammi da riprodurre (righe scartate: %2%3)")
             .arg(shown(path), QString::number(log.skipped), badReferenceNote(log.badReference)));
    return;
  }
  if (log.skipped > 0) {
    warn(tr3("Plik %1: pominięto nieprawidłowe wiersze: %2%3",
             "File %1: malformed rows skipped: %2%3", "File %1: righe non valide scartate: %2%3")
             .arg(shown(path), QString::number(log.skipped), badReferenceNote(log.badReference)));
  }
  replayName_ = name;
  replayStatus_.clear();
  const LiveSettings first = log.rows.front().settings;
  scope_.enterReplay(first, {[this] { pauseOrResumeReplay(); }, [this] { endReplay(); }});
  player_.start(std::move(log.rows));
}

void DriveLog::showRow(const DriveLogRow& row) {
  scope_.showRecordedFrame(displayedBytes(row.raw), row.settings);
  showReplayStatus();
}

void DriveLog::pauseOrResumeReplay() {
  if (player_.state() == DriveLogPlayer::State::Playing) {
    player_.pause();
    scope_.setReplayPaused(true);
    showReplayStatus();
  } else {
    scope_.setReplayPaused(false);
    player_.resume();
    showReplayStatus();
  }
}

void DriveLog::endReplay() {
  player_.stop();
  scope_.leaveReplay();
  replayStatus_.clear();
}

void DriveLog::showReplayStatus() {
  if (!player_.isActive()) return;
  QString state;
  switch (player_.state()) {
    case DriveLogPlayer::State::Playing:
      state = tr3("Odtwarzanie", "Replaying", "Riproduzione");
      break;
    case DriveLogPlayer::State::Paused:
      state = tr3("Pauza", "Paused", "Pausa");
      break;
    case DriveLogPlayer::State::Finished:
      state = tr3("Koniec zapisu", "End of the log", "Fine registrazione");
      break;
    case DriveLogPlayer::State::Idle:
      return;
  }
  // The log's own time, as the viewer shows it: a replay from the viewer's cursor goes on from
  // the time under the cursor.
  QString text =
      QStringLiteral("%1: %2  %3 / %4")
          .arg(state, replayName_, clockText(player_.logTimeMs()), clockText(player_.logEndMs()));
  if (player_.gaps() > 0)
    text += tr3("  (przerwy: %1)", "  (gaps: %1)", "  (interruzioni: %1)").arg(player_.gaps());
  // Fifty rows a second, but the text changes once a second: the status bar is repainted only
  // then.
  if (text == replayStatus_) return;
  replayStatus_ = text;
  view_.setStatusText(text);
}

void DriveLog::retranslate() {
  showRecordingState();
  replayStatus_.clear();
  showReplayStatus();
}

void DriveLog::shutdown() {
  closing_ = true;
  stopRecording();
  if (player_.isActive()) endReplay();
}

}  // namespace orvel
