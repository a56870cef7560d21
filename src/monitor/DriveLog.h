#pragma once

#include "link/Timers.h"
#include "monitor/DriveLogPlayer.h"
#include "monitor/DriveLogRecorder.h"

#include <QObject>
#include <QString>

#include <thread>

class QPushButton;
class QWidget;

namespace orvel {

struct FileContent;
class LinkView;
class OscilloscopePanel;

// The drive log of oscilloscope mode: the "Zapis" toggle records every live frame shown to a
// CSV file in the installation directory's `logs` folder, and "Odtwórz zapis..." plays such a
// file back through the same panel at the speed it was recorded, with no controller attached.
class DriveLog : public QObject {
  Q_OBJECT
 public:
  // Larger files are refused: about three hours of frames.
  static constexpr qint64 kMaxLogBytes = 32 * 1024 * 1024;
  // Larger files are read and parsed beside the window, which stays responsive meanwhile; the
  // replay starts when they are ready.
  static constexpr qint64 kBackgroundBytes = 1024 * 1024;

  DriveLog(OscilloscopePanel& scope, LinkView& view, TimerService& timers,
           QString installationDirectory, QWidget* dialogParent);
  ~DriveLog() override;

  static QString logsFolder(const QString& installationDirectory);
  // Why a log file could not be read, for the fitter; the replay says what the size stops.
  enum class Use { Replay, View };
  static QString refusal(const FileContent& content, const QString& path, Use use);
  // Appended to a count of skipped rows: how many of them were refused for their idle reference
  // (nothing when none was).
  static QString badReferenceNote(int rows);

  void BtnZapisClick();
  // "Odtwórz zapis...": asks for a file, then plays it.
  void Odtworzzapis1Click();
  void replayFile(const QString& path);
  // Plays rows already read (a log viewer's, from its cursor on) as a file's replay plays them;
  // false when the panel is in use.
  bool replayRows(const QString& name, std::vector<DriveLogRow> rows);
  bool canReplay() const;
  // The program is closing: a recording is closed and a replay ends.
  void shutdown();
  // The interface language changed: the record button's tip and a replay's status say so.
  void retranslate();

  bool isRecording() const { return recorder_.isRecording(); }
  bool isReplaying() const { return player_.isActive(); }
  bool isLoading() const { return loading_; }
  const DriveLogRecorder& recorder() const { return recorder_; }
  const DriveLogPlayer& player() const { return player_; }
  // Rows of the file being replayed that were malformed and are not played.
  int skippedRows() const { return skipped_; }

 private:
  void record(const RawLiveFrame& raw, const LiveSettings& settings);
  void stopRecording();
  void showRecordingState();
  struct Loaded;
  static Loaded load(const QString& path);
  void loadInBackground(const QString& path);
  void startReplay(const QString& path, Loaded loaded);
  void showRow(const DriveLogRow& row);
  void pauseOrResumeReplay();
  void endReplay();
  void showReplayStatus();

  OscilloscopePanel& scope_;
  LinkView& view_;
  TimerService& timers_;
  QString installDir_;
  QWidget* dialogParent_;
  QPushButton* toggle_;
  DriveLogRecorder recorder_;
  DriveLogPlayer player_;
  QString replayName_;
  QString replayStatus_;
  int skipped_ = 0;
  bool loading_ = false;
  bool closing_ = false;
  std::thread loader_;
};

}  // namespace orvel
