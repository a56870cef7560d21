#pragma once

#include <QString>

class QWidget;

namespace orvel {

// The open dialog of "Odtwórz zapis..." goes through here, so that tests answer it instead of
// blocking on a modal dialog (as Dialogs does for message boxes).
class ReplayFileDialog {
 public:
  virtual ~ReplayFileDialog() = default;
  // The file the fitter chose, starting in `directory`; empty when the dialog was cancelled.
  virtual QString openFileName(QWidget* parent, const QString& title, const QString& directory,
                               const QString& filter) = 0;

  static ReplayFileDialog& current();
  // Installs a replacement (not owned); nullptr restores Qt's file dialog.
  static void install(ReplayFileDialog* dialog);
};

class WidgetReplayFileDialog : public ReplayFileDialog {
 public:
  QString openFileName(QWidget* parent, const QString& title, const QString& directory,
                       const QString& filter) override;
};

}  // namespace orvel
