#pragma once

#include "logview/LogData.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QImage;
class QLabel;
class QPushButton;

namespace orvel {

class LogChart;

// "Przeglądaj zapis...": a whole drive log on one chart in an ordinary, resizable window, with
// a cursor that reads every channel, the diagnosis figures of the log and of a selected stretch,
// a replay through the oscilloscope panel from the cursor and the chart saved as a picture.
class LogViewer : public QMainWindow {
  Q_OBJECT
 public:
  explicit LogViewer(QWidget* parent = nullptr);
  ~LogViewer() override;

  // Plays rows through the oscilloscope panel; false when the panel is taken.
  std::function<bool(const QString& name, std::vector<DriveLogRow> rows)> replayFrom;
  // Whether the panel is free for a replay now.
  std::function<bool()> canReplay;

  // Asks for a log in `folder` and shows it; nothing happens on a cancel.
  void openWithDialog(const QString& folder);
  // Shows the log in the window, or tells the fitter why not and keeps what it showed.
  bool openFile(const QString& path);
  // "Odtwórz stąd": the rows from the fixed cursor on.
  void replayFromCursor();
  // "Zapisz obraz...": the chart as it is on the screen, as PNG.
  void saveImage();
  // The replay's availability has changed.
  void updateCommands();
  void retranslate();

  LogChart& chart() { return *chart_; }
  const LogData* log() const { return log_ ? &*log_ : nullptr; }
  QString statusText() const;
  QString diagnosisText() const;
  // The picture "Zapisz obraz..." saves: the chart as on the screen under the log's name and
  // recording time, with the figures beside it (also as the PNG's text).
  QImage picture() const;

 private:
  void showDiagnosis();
  // The figures of the whole log and of the selected stretch, with the hint on selecting one
  // where there is none when `withHint`.
  QStringList figures(bool withHint) const;
  void showStatus(const QString& text);
  QString fileStatus() const;

  LogChart* chart_;
  std::array<QCheckBox*, kLanes> laneBoxes_{};
  QPushButton* replayButton_;
  QPushButton* saveButton_;
  QLabel* help_;
  QLabel* diagnosis_;
  QLabel* status_;
  std::optional<LogData> log_;
  Diagnosis whole_;  // of the whole log, made once
};

}  // namespace orvel
