#pragma once

#include "link/Timers.h"
#include "monitor/DriveLogFormat.h"
#include "monitor/LiveDecoder.h"
#include "monitor/LiveFrameFilter.h"

#include <QObject>

#include <array>
#include <functional>
#include <memory>

class QFrame;
class QWidget;
namespace Ui {
class Panel1;
}

namespace orvel {

class DiagnosisReadout;
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
// What the fitter is told while the live mode cannot know the engine speed, and how to get it.
QString speedUnknownHint();

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
  DiagnosisReadout& diagnosis() { return *diagnosis_; }
  // The language has changed: the texts of the panel's own that no caption table has.
  void retranslate();
  const LiveSettings& liveSettings() const { return decoder_.settings; }
  // The lambda indicator bar's range as the hidden anchor gauge holds it.
  int lambdaBarRange() const;

  void WykresyClick();  // enter the mode
  void BtnPauzaClick();
  void KoniecClick();  // leave the mode

  // The dispatch's hook: a whole live frame is in the receive buffer. Shown unless its period
  // says stray bytes shifted it (LiveFrameFilter).
  void showLiveFrame();
  // The dispatch's hook for eight bytes that were no whole frame: counted, nothing shown.
  void liveFrameDropped();
  void showFrame(const LiveFrame& frame);
  // The link's way to end the live mode (a failure, the settings exchange). A replay is not the
  // live mode and is left running.
  void endLiveMode();

  // ---- Drive log
  // Told of every live frame before it is shown: its eight bytes and the display's settings.
  std::function<void(const RawLiveFrame&, const LiveSettings&)> liveFrameArrived;
  // Told when the live mode ends, whatever ended it ("Koniec", a link failure, F5).
  std::function<void()> liveModeEnded;

  // The live mode runs without an idle period reference (no read-out, calibration or rpm scaling
  // yet): the speed read-out keeps what it showed, which must not pass for a stopped engine.
  // Told whenever that starts (true) or ends (false).
  std::function<void(bool unknown)> speedUnknownChanged;
  // The live loop's frames a second and the broken frames it dropped, over the figures' window,
  // while the live mode runs (a fitter sees a noisy line for what it is); empty when it ends.
  std::function<void(const QString&)> liveRateChanged;
  bool speedUnknown() const { return speedUnknown_; }

  // A replay shows recorded frames on the panel as the live mode shows received ones, with the
  // link left alone: nothing is sent and the dispatch is not involved. The main commands are
  // disabled meanwhile; "Pauza" and "Koniec" go to the hooks.
  struct ReplayHooks {
    std::function<void()> pauseOrResume;
    std::function<void()> end;
  };
  void enterReplay(const LiveSettings& settings, ReplayHooks hooks);
  // One recorded frame, shown with the settings it was recorded with. A period of 0 leaves the
  // engine speed as it was, without the live mode's warning: there is nothing to read again.
  void showRecordedFrame(const LiveFrame& frame, const LiveSettings& settings);
  void setReplayPaused(bool paused);
  void leaveReplay();
  bool isReplaying() const { return replaying_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void display(const LiveReadings& readings, bool warnOnFault);
  // The interference box for a frame with a period of 0. It opens once the frame's dispatch is
  // over, so the live loop goes on behind it, and never while one is open or due.
  void warnOfInterference();
  void showInterferenceBox();
  void placeAndShow(const QString& lambdaKey, TpsRange tpsRange);
  void takeLambdaBarRange();
  void afterWidthChange();
  // The diagnosis figures in the room beside the Lambda 2 chart that the layout leaves them.
  void placeDiagnosis();
  void followSpeedReference();

  QFrame* host_;
  WorkArea& area_;
  // The window whose keys the panel watches, taken once: its filter also sees the events of the
  // window's own destruction, when the work area can no longer be asked.
  QWidget* window_;
  LinkView& view_;
  LinkControl& link_;
  ControllerState& state_;
  std::unique_ptr<Ui::Panel1> ui_;
  std::unique_ptr<Wykresy> charts_;
  std::unique_ptr<DiagnosisReadout> diagnosis_;
  std::unique_ptr<PanelScaling> scaling_;
  LiveDecoder decoder_;
  LiveFrameFilter filter_;
  // From the bottom (lean, Gauge14) to the top (rich, Gauge7).
  std::array<Gauge*, kIndicators> indicators_{};
  bool replaying_ = false;
  bool speedUnknown_ = false;
  ReplayHooks replayHooks_;
  std::unique_ptr<TimerService::Handle> interferenceBox_;
  bool interferenceBoxOpen_ = false;
};

}  // namespace orvel
