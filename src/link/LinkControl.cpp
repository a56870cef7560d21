#include "link/LinkControl.h"

#include "core/Dialogs.h"
#include "core/Language.h"
#include "link/LinkError.h"
#include "link/SerialTransport.h"
#include "settings/ControllerState.h"

namespace orvel {

QString oscilloscopeStatusText() {
  return plIt(QStringLiteral("Tryb oscyloskopu"), QStringLiteral("Stato Osciloscopo"));
}

LinkControl::LinkControl(SerialTransport& link, TimerService& timers, LinkView& view,
                         ControllerState& state)
    : Timer1(timers, 100, 16, [this] { Timer1Timer(); }),
      Timer2(timers, 50, 16, [this] { Timer2Timer(); }),
      Timer3(timers, 50, 11, [this] { Timer3Timer(); }),
      Timer4(timers, 100, 11, [this] { settingsReadOutRequest(); }),
      Timer6(timers, 200, 31, [this] { Timer6Timer(); }),
      wykres_on1(timers, 20, [this] { wykres_on1Timer(); }),
      Timerznak(timers, 50, [this] { TimerznakTimer(); }),
      link_(link),
      timers_(timers),
      view_(view),
      state_(state) {
  link_.setRxHandler([this](int count) { ComPort1RxChar(count); });
  link_.setLossHandler([this](const QString& text) { linkFailed(text); });
}

void LinkControl::ensureOpen() {
  link_.open();
}

void LinkControl::send(const Command& command) {
  orvel::send(link_, command);
}

void LinkControl::sendRequest(const Command& command) {
  try {
    send(command);
  } catch (const LinkError& e) {
    linkFailed(e.text());
  }
}

void LinkControl::linkFailed(const QString& errorText) {
  endLoopsAfterFailure();
  if (failureShown_) return;
  failureShown_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{failureShown_};
  showErrorBox(errorText);
}

void LinkControl::endLoopsAfterFailure() {
  if (oscilloscopeMode || view_.oscilloscopePanelVisible()) {
    if (hooks.endOscilloscopeMode) hooks.endOscilloscopeMode();
  }
  const bool sampling =
      idleSampling || highRpmSampling || Timer1.isRunning() || Timerznak.isRunning();
  Timer1.stop();
  Timer2.stop();
  Timer3.stop();
  wykres_on1.stop();
  Timerznak.stop();
  oscilloscopeMode = false;
  sweepPaused = true;
  if (sampling) {
    // As when the controller does not answer: the commands come back and a wizard step's OK
    // starts its run again.
    idleSampling = false;
    highRpmSampling = false;
    view_.setStatusText(QString());
    view_.setCommandsEnabled(kAllButtons | kItemScope | kItemScaling, true);
  }
  // Nothing can be read out any more; the exchange's give-up timer brings the commands back.
  Timer4.stop();
  readSettingsOnReply = false;
}

void LinkControl::delay(int n) {
  timers_.blockingPause(Millis(n));
}

// ---------------------------------------------------------------------------------------------
// Reception and dispatch

void LinkControl::ComPort1RxChar(int count) {
  const QByteArray bytes = link_.read(count);
  if (Timer1.isRunning()) Timer1.stop();
  for (char c : bytes) {
    const auto value = static_cast<std::uint8_t>(c);
    if (serviceMode) {
      if (hooks.serviceByte) hooks.serviceByte(value);
      continue;
    }
    EditDane.append(value);
    ++replyCount;
    // The dispatch runs before the next byte is appended, so a reply handler sees exactly its
    // own reply even when more bytes came in the same notification.
    EditDaneChange();
  }
  if (readSettingsOnReply) {
    readSettingsOnReply = false;
    Timer4.start();
  }
}

void LinkControl::EditDaneChange() {
  const int n = replyCount;
  if (n == kLiveFrameLength && oscilloscopeMode) {
    Timer2.stop();
    if (hooks.showLiveFrame) hooks.showLiveFrame();
    wykres_on1.start();
  }
  if (n == kLiveFrameLength && idleSampling && samplesRemaining > 0) {
    --samplesRemaining;
    if (hooks.takeIdleSample) hooks.takeIdleSample();
    if (samplesRemaining == 0 && !view_.calibrationPanelVisible()) {
      // The run was an rpm scaling: give the other commands back (F8 stays off until the end of
      // oscilloscope mode, the editor or the wizard gives it back).
      view_.setCommandsEnabled(kButtonF7 | kButtonF5 | kButtonF6 | kItemSettings | kItemScope,
                               true);
      view_.setStatusText(QString());
      Timer3.resetCount();
      Timer2.stop();
      Timer3.stop();
    }
    Timerznak.start();
  }
  if (n == kLiveFrameLength && highRpmSampling && samplesRemaining > 0) {
    --samplesRemaining;
    if (hooks.takeHighRpmSample) hooks.takeHighRpmSample();
    Timerznak.start();
  }
  if (n == kSettingsBlockLength && settingsReadOut) {
    const int reference = word(32);
    if (reference == 0x0101) {
      showMessage(plIt(QStringLiteral("Sterownik nie ma skalibrowanych wolnych obrotów.\r\n"
                                      "Wciśnij przycisk autokalibracji."),
                       QStringLiteral("Sistema non calibrate giri.\r\nScalare giri.")),
                  attentionTitle(), MessageIcon::Warning);
      settingsReadOut = false;
      return;
    }
    state_.idlePeriodReference = reference;
    if (hooks.decodeSettings) hooks.decodeSettings();
    settingsReadOut = false;
    EditDane.clear();
    Timer6.resetCount();
    Timer6.stop();
    if (hooks.showSettingsEditor) hooks.showSettingsEditor();
  }
}

// ---------------------------------------------------------------------------------------------
// Requests

void LinkControl::liveFrameRequest() {
  replyCount = 0;
  EditDane.clear();
  Timer2.resetCount();
  Timer2.start();
  sendRequest(commands::liveData());
}

void LinkControl::sampleRequest() {
  replyCount = 0;
  EditDane.clear();
  Timer1.resetCount();
  Timer2.resetCount();
  Timer3.resetCount();
  sweepPaused = true;
  Timer2.stop();
  Timer1.start();
  sendRequest(commands::liveData());
}

void LinkControl::settingsReadOutRequest() {
  Timer4.stop();
  EditDane.clear();
  replyCount = 0;
  idleSampling = false;
  highRpmSampling = false;
  oscilloscopeMode = false;
  settingsReadOut = true;
  send(commands::readSettings());
}

// ---------------------------------------------------------------------------------------------
// Timers

void LinkControl::Timer1Timer() {
  Timer1.stop();
  view_.setStatusText(QString());
  showMessage(plIt(QStringLiteral("Sterownik nie został włączony.\r\nWłącz sterownik i spróbuj "
                                  "ponownie"),
                   QStringLiteral("Sistema non acceso.\r\naccendi sistema e riprova")),
              attentionTitle(), MessageIcon::Warning);
  view_.setCommandsEnabled(kAllButtons | kItemScope | kItemScaling, true);
}

void LinkControl::Timer2Timer() {
  Timer2.stop();
  view_.setStatusText(QString());
  sweepPaused = true;
  Timer3.start();
}

void LinkControl::Timer3Timer() {
  Timer3.stop();
  sweepPaused = false;
  wykres_on1.start();
  view_.setStatusText(oscilloscopeStatusText());
}

void LinkControl::Timer6Timer() {
  Timer6.stop();
  view_.setCommandsEnabled(kAllButtons | kAllItems, true);
  view_.setStatusText(QString());
  if (hooks.settingsExchangeGaveUp) hooks.settingsExchangeGaveUp();
}

void LinkControl::wykres_on1Timer() {
  wykres_on1.stop();
  if (!sweepPaused) liveFrameRequest();
}

void LinkControl::TimerznakTimer() {
  Timerznak.stop();
  sampleRequest();
}

// ---------------------------------------------------------------------------------------------
// Settings exchange

void LinkControl::startSettingsExchange() {
  ensureOpen();
  if (hooks.endCalibration) hooks.endCalibration();
  if (view_.oscilloscopePanelVisible()) {
    if (hooks.endOscilloscopeMode) hooks.endOscilloscopeMode();
    resumeOscilloscope = true;
  }
  Timer6.resetCount();
  Timer6.start();
  Timer2.stop();
  view_.setCommandsEnabled(kAllButtons | kAllItems, false);
  delay(100);
  view_.setStatusText(
      plIt(QStringLiteral("Podawanie parametrów"), QStringLiteral("Scrivere Parametri")));
  readSettingsOnReply = true;
  Timer4.resetCount();
  Timer2.resetCount();
  send(commands::startCommunication());
}

void LinkControl::endSettingsExchange() {
  view_.setCommandsEnabled(kAllButtons | kAllItems, true);
  send(commands::endCommunication());
  view_.setStatusText(QString());
  if (resumeOscilloscope) {
    delay(100);
    resumeOscilloscope = false;
    if (hooks.startOscilloscopeMode) hooks.startOscilloscopeMode();
  }
}

}  // namespace orvel
