#pragma once

#include "calibration/CalibrationWizard.h"

#include <QObject>

#include <array>
#include <memory>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
namespace Ui {
class PanelKalib;
}

namespace orvel {

class CalibrationSampler;
class LinkControl;
class LinkView;
class RpmScaling;
class WorkArea;
struct ControllerState;

// The autocalibration panel `PanelKalib` on the main window: binds its controls to the wizard,
// the sampling runs and the rpm scaling, which own all the logic. Enter confirms the current step
// (or, after the write, finishes) with the keyboard alone.
class CalibrationPanel : public QObject, public CalibrationView {
  Q_OBJECT
 public:
  // Builds the panel's contents into the main window's PanelKalib frame.
  CalibrationPanel(QFrame* host, WorkArea& area, LinkView& view, LinkControl& link,
                   ControllerState& state, EditorFieldSink editor);
  ~CalibrationPanel() override;

  Ui::PanelKalib& ui() { return *ui_; }
  QFrame* panel() const { return host_; }
  CalibrationWizard& wizard() { return *wizard_; }
  CalibrationSampler& sampler() { return *sampler_; }
  RpmScaling& rpmScaling() { return *rpmScaling_; }

  QPushButton* stepButton(int step) const;
  QLabel* summaryValue(SummaryLine line) const;
  // Enter's button: the current step's OK, or the finish button once the values are written.
  QPushButton* defaultButton() const { return default_; }

  // ---- CalibrationView
  QString text(Entry entry) const override;
  void setText(Entry entry, const QString& text) override;
  int choice(Choice choice) const override;
  void setSummary(SummaryLine line, const QString& text) override;
  void showScreen(const WizardScreen& screen) override;
  void centre() override;
  void setPanelVisible(bool visible) override;

  // The step number and the units follow a change of the interface language; the prompt keeps
  // the language it was shown in, as the wizard chose it.
  void retranslate();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* field(Entry entry) const;
  QGroupBox* group(Choice choice) const;
  void setDefault(QPushButton* button);
  void focusChoice(Choice choice);

  QFrame* host_;
  WorkArea& area_;
  QWidget* window_;
  std::unique_ptr<Ui::PanelKalib> ui_;
  std::unique_ptr<CalibrationSampler> sampler_;
  std::unique_ptr<CalibrationWizard> wizard_;
  std::unique_ptr<RpmScaling> rpmScaling_;
  std::array<QPushButton*, kWizardSteps> steps_{};
  std::array<QLabel*, kSummaryLines> summary_{};
  QPushButton* default_ = nullptr;
  int shownStep_ = kWizardClosed;
};

}  // namespace orvel
