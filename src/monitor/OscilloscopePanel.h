#pragma once

#include "monitor/LiveDecoder.h"

#include <QObject>

#include <array>
#include <memory>

class QFrame;
class QWidget;
namespace Ui {
class Panel1;
}

namespace orvel {

class Gauge;
class LinkControl;
class PanelScaling;
class LinkView;
class WorkArea;
class Wykresy;
struct ControllerState;

// Oscilloscope mode ("Tryb oscyloskopu"): the panel on the main window with the sweeping charts,
// gauges and read-outs, its life cycle (enter, pause, resume, leave) and the display of each
// live frame. The live loop itself (requests, watchdog, pacing) belongs to LinkControl; this
// class starts and ends it and shows what it brings.
class OscilloscopePanel : public QObject {
  Q_OBJECT
 public:
  // Builds the panel's contents into the main window's Panel1 frame and binds its controls.
  OscilloscopePanel(QFrame* host, WorkArea& area, LinkView& view, LinkControl& link,
                    ControllerState& state);
  ~OscilloscopePanel() override;

  Ui::Panel1& ui() { return *ui_; }
  QFrame* panel() const;
  Wykresy& charts() { return *charts_; }
  PanelScaling& scaling() { return *scaling_; }
  const LiveSettings& liveSettings() const { return decoder_.settings; }
  // The lambda indicator bar's range as the hidden anchor gauge holds it.
  int lambdaBarRange() const;

  void WykresyClick();  // enter the mode
  void BtnPauzaClick();
  void KoniecClick();  // leave the mode

  // The dispatch's hook: a complete live frame is in the receive buffer.
  void showLiveFrame();
  void showFrame(const LiveFrame& frame);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void display(const LiveReadings& readings);
  void takeLambdaBarRange();
  void afterWidthChange();

  QFrame* host_;
  WorkArea& area_;
  QWidget* window_;
  LinkView& view_;
  LinkControl& link_;
  ControllerState& state_;
  std::unique_ptr<Ui::Panel1> ui_;
  std::unique_ptr<Wykresy> charts_;
  std::unique_ptr<PanelScaling> scaling_;
  LiveDecoder decoder_;
  // From the bottom (lean, Gauge14) to the top (rich, Gauge7).
  std::array<Gauge*, kIndicators> indicators_{};
};

}  // namespace orvel
