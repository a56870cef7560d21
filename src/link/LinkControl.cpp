#include "link/LinkControl.h"

#include "core/ControllerState.h"
#include "core/Dialogs.h"
#include "core/Language.h"
#include "link/LinkError.h"
#include "link/PortProbe.h"
#include "link/SerialTransport.h"

#include <QStringList>

namespace orvel {

QString oscilloscopeStatusText() {
  return plIt(QStringLiteral("Tryb oscyloskopu"), QStringLiteral("Stato Osciloscopo"));
}

LinkControl::LinkControl(SerialTransport& link, TimerService& timers, LinkView& view,
                         ControllerState& state)
    : Timer1(timers, 100, 16, [this] { Timer1Timer(); }),
      Timer2(timers, 50, 16, [this] { Timer2Timer(); }),
      Timer3(timers, 50, 11, [this] { Timer3Timer(); }),
      Timer4(timers, 100, 11, [this] { Timer4Timer(); }),
      Timer6(timers, 200, 31, [this] { Timer6Timer(); }),
      wykres_on1(timers, 20, 18, [this] { wykres_on1Timer(); }),
      Timerznak(timers, 50, 50, [this] { TimerznakTimer(); }),
      link_(link),
      timers_(timers),
      view_(view),
      state_(state) {
  reread_ = timers_.createHandle([this] {
    guarded([this] {
      if (settingsExchangeRunning()) settingsReadOutRequest();
    });
  });
  link_.setRxHandler([this](int count) { ComPort1RxChar(count); });
  link_.setLossHandler([this](const QString& text) { linkFailed(text); });
}

bool LinkControl::failureReported() const {
  return reportedAt_ == link_.openings();
}

void LinkControl::markReported() {
  reportedAt_ = link_.openings();
}

void LinkControl::ensureOpen() {
  // A command the fitter gives is a fresh try: its failure is always shown.
  markReported();
  try {
    link_.open();
  } catch (const LinkError& e) {
    const QString tried = link_.portName();
    const QString chosen = chosenPort_;
    if (chosen.isEmpty() || chosen == tried || link_.isConnected()) throw;
    int chosenError = 0;
    link_.setPortName(chosen);
    try {
      link_.open();
    } catch (const LinkError& second) {
      chosenError = second.osError();
      link_.setPortName(tried);
    }
    if (chosenError != 0) {
      throw AppError(
          QStringList{e.text(), portFailureLine(tried, link_.deviceFor(tried), e.osError()),
                      portFailureLine(chosen, link_.deviceFor(chosen), chosenError),
                      tr3("Port wybiera się w menu Opcje", "The port is chosen in the Options menu",
                          "La porta si sceglie nel menu Opzioni")}
              .join(QStringLiteral("\r\n")));
    }
    chosenPort_.clear();
    if (hooks.portChanged) hooks.portChanged(chosen);
  }
  reportedAt_ = -1;
}

void LinkControl::send(const Command& command) {
  reportedAt_ = -1;
  sendInConversation(command);
}

void LinkControl::sendInConversation(const Command& command) {
  try {
    if (!link_.isConnected()) link_.open();
    orvel::send(link_, command);
    if (command.code == cmd::StartCommunication) communicationOpen_ = true;
    if (command.code == cmd::EndCommunication) communicationOpen_ = false;
  } catch (const LinkError&) {
    if (failureReported()) throw ReportedError();
    markReported();
    throw;
  }
  reportedAt_ = -1;
}

void LinkControl::endCommunicationOnClose() {
  if (!communicationOpen_ || !link_.isConnected()) return;
  try {
    orvel::send(link_, commands::endCommunication());
  } catch (const LinkError&) {
  }
  communicationOpen_ = false;
}

void LinkControl::sendRequest(const Command& command) {
  // A request that no loop's tick sends starts a run the fitter asked for (a wizard step's
  // sampling): a link still down answers it again.
  if (!wykres_on1.inTick() && !Timerznak.inTick()) reportedAt_ = -1;
  try {
    sendInConversation(command);
  } catch (const ReportedError&) {
    endLoopsAfterFailure();
  } catch (const LinkError& e) {
    sendFailed(e.text());
  }
}

void LinkControl::sendFailed(const QString& errorText) {
  // send() counted the failure as shown, expecting it to reach the handler's box; a caller that
  // stops it here shows it through linkFailed instead.
  reportedAt_ = -1;
  linkFailed(errorText);
}

void LinkControl::linkFailed(const QString& errorText) {
  endLoopsAfterFailure();
  if (failureShown_ || failureReported()) return;
  failureShown_ = true;
  markReported();
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
  if (sampling && hooks.sampleRunFailed) hooks.sampleRunFailed();
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
  settingsReadOut = false;
  awaiting_ = Awaiting::Nothing;
}

void LinkControl::delay(int n) {
  timers_.blockingPause(Millis(n));
}

// ---------------------------------------------------------------------------------------------
// Reception and dispatch

void LinkControl::expectReply(int length, Awaiting what) {
  link_.discardReceived();
  link_.expectReply(length);
  awaiting_ = what;
}

bool LinkControl::answeredMeanwhile(const WindowTimer& watchdog) {
  link_.collectReceived();
  return !watchdog.isRunning();
}

void LinkControl::ComPort1RxChar(int count) {
  const QByteArray bytes = link_.read(count);
  // The console shows every byte; everything else takes only what answers the last request.
  const bool inWindow = replyWindowOpen();
  if (!inWindow && !serviceMode) return;
  // A sample's reply timeout ends with the complete reply, not with its first byte: a reply that
  // stops short is reported as a silent controller is. The console takes every byte itself.
  if (serviceMode) Timer1.stop();
  for (char c : bytes) {
    const auto value = static_cast<std::uint8_t>(c);
    if (serviceMode) {
      if (hooks.serviceByte) hooks.serviceByte(value);
      continue;
    }
    if (!inWindow) continue;
    EditDane.append(value);
    ++replyCount;
    // The dispatch runs before the next byte is appended, so a reply handler sees exactly its
    // own reply even when more bytes came in the same notification.
    EditDaneChange();
  }
  // Only the answer to this exchange's AAh leads to the read-out, also when the console shows
  // it: the exchange goes on to its 09h.
  if (readSettingsOnReply && inWindow && settingsExchangeRunning()) {
    readSettingsOnReply = false;
    Timer4.start();
  }
}

bool LinkControl::wholeLiveFrame() const {
  return replyCount == kLiveFrameLength && byte(kLiveFrameLength - 1) == kAcknowledge;
}

void LinkControl::EditDaneChange() {
  const int n = replyCount;
  if (n == kLiveFrameLength) Timer1.stop();
  // The line has no checksum; a frame that does not close with 01h where it should had bytes of
  // noise counted into it (or lost one of its own), and every field of it is suspect.
  const bool whole = wholeLiveFrame();
  if (n == kLiveFrameLength && oscilloscopeMode) {
    Timer2.stop();
    if (whole) {
      if (hooks.showLiveFrame) hooks.showLiveFrame();
    } else if (hooks.liveFrameDropped) {
      hooks.liveFrameDropped();
    }
    // A broken frame is as good as answered: the next request goes on the grid rather than
    // after the watchdog.
    wykres_on1.start();
  }
  if (n == kLiveFrameLength && idleSampling && samplesRemaining > 0) {
    if (whole) {
      --samplesRemaining;
      if (hooks.takeIdleSample) hooks.takeIdleSample();
    } else if (hooks.sampleDropped) {
      hooks.sampleDropped();
    }
    // A run given up on its tenth sample has ended already (its flag is cleared).
    if (samplesRemaining == 0 && idleSampling && !view_.calibrationPanelVisible()) {
      // The run was an rpm scaling: give the other commands back (F8 stays off until the end of
      // oscilloscope mode, the editor or the wizard gives it back).
      view_.setCommandsEnabled(kButtonF7 | kButtonF5 | kButtonF6 | kItemSettings | kItemScope,
                               true);
      view_.setStatusText(QString());
      Timer3.resetCount();
      Timer2.stop();
      Timer3.stop();
      if (hooks.rpmScalingEnded) hooks.rpmScalingEnded();
    }
    // The next sample request, also after a reply that did not count: the run takes it again.
    if (idleSampling) Timerznak.start();
  }
  if (n == kLiveFrameLength && highRpmSampling && samplesRemaining > 0) {
    if (whole) {
      --samplesRemaining;
      if (hooks.takeHighRpmSample) hooks.takeHighRpmSample();
    } else if (hooks.sampleDropped) {
      hooks.sampleDropped();
    }
    if (highRpmSampling) Timerznak.start();
  }
  // A block is the answer to the 09h of the exchange still running, never 37 bytes that came
  // together some other way.
  if (n == kSettingsBlockLength && settingsReadOut && settingsExchangeRunning())
    settingsBlockArrived();
}

void LinkControl::settingsBlockArrived() {
  settingsReadOut = false;
  ++blocksRead_;
  // The line has no checksum: stray bytes shift a block and a flipped bit changes a setting
  // without a trace. A block is taken only when it closes with 01h and a second read gives it
  // again byte for byte; until then, or until the exchange gives up, the controller is asked
  // again.
  QByteArray block;
  for (int k = 0; k < kSettingsBlockLength; ++k)
    block.append(static_cast<char>(byte(k)));
  const bool whole = byte(kSettingsBlockLength - 1) == kAcknowledge;
  if (!whole || block != candidateBlock_) {
    candidateBlock_ = whole ? block : QByteArray();
    // Whatever is still coming of this read answers nothing; the next read starts once it has
    // had the time to come and be thrown away.
    awaiting_ = Awaiting::Nothing;
    reread_->start(kBlockRereadDelay, Nanos(0));
    return;
  }
  candidateBlock_.clear();
  blocksRead_ = 0;
  const int reference = word(32);
  if (reference == 0x0101) {
    // The exchange is over: the commands come back with the message rather than 6.2 s later.
    closeSettingsExchange();
    showMessage(plIt(QStringLiteral("Sterownik nie ma skalibrowanych wolnych obrotów.\r\n"
                                    "Wciśnij przycisk autokalibracji."),
                     QStringLiteral("Sistema non calibrate giri.\r\nScalare giri.")),
                attentionTitle(), MessageIcon::Warning);
    if (hooks.settingsBlockRefused) hooks.settingsBlockRefused();
    return;
  }
  state_.idlePeriodReference = reference;
  if (hooks.decodeSettings) hooks.decodeSettings();
  EditDane.clear();
  awaiting_ = Awaiting::Nothing;
  Timer6.resetCount();
  Timer6.stop();
  if (hooks.showSettingsEditor) hooks.showSettingsEditor();
}

// ---------------------------------------------------------------------------------------------
// Requests

void LinkControl::liveFrameRequest() {
  replyCount = 0;
  EditDane.clear();
  Timer2.resetCount();
  Timer2.start();
  expectReply(kLiveFrameLength, Awaiting::Frame);
  wykres_on1.requestSent();
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
  // The request after a run's tenth sample waits for nothing: a controller silent after a
  // finished run is no fault of the run.
  if (samplesRemaining > 0) Timer1.start();
  expectReply(kLiveFrameLength, Awaiting::Sample);
  // The next one never sooner than 50 ms after this one, the first of a run included.
  Timerznak.requestSent();
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
  expectReply(kSettingsBlockLength, Awaiting::Settings);
  sendInConversation(commands::readSettings());
}

void LinkControl::sendExpectingReply(const Command& command, int length) {
  replyCount = 0;
  EditDane.clear();
  expectReply(length, Awaiting::Answer);
  send(command);
}

// ---------------------------------------------------------------------------------------------
// Timers

void LinkControl::Timer1Timer() {
  if (answeredMeanwhile(Timer1)) return;
  Timer1.stop();
  // The controller is taken for switched off: a reply that comes now answers nothing.
  awaiting_ = Awaiting::Nothing;
  if (hooks.sampleRunFailed) hooks.sampleRunFailed();
  view_.setStatusText(QString());
  showMessage(plIt(QStringLiteral("Sterownik nie został włączony.\r\nWłącz sterownik i spróbuj "
                                  "ponownie"),
                   QStringLiteral("Sistema non acceso.\r\naccendi sistema e riprova")),
              attentionTitle(), MessageIcon::Warning);
  view_.setCommandsEnabled(kAllButtons | kItemScope | kItemScaling, true);
}

void LinkControl::Timer2Timer() {
  if (answeredMeanwhile(Timer2)) return;
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

void LinkControl::Timer4Timer() {
  // The delay of an exchange that has ended since reads nothing out.
  if (settingsExchangeRunning()) {
    settingsReadOutRequest();
  } else {
    Timer4.stop();
  }
}

void LinkControl::Timer6Timer() {
  if (answeredMeanwhile(Timer6)) return;
  Timer6.stop();
  const int reads = blocksRead_;
  abandonSettingsExchange();
  view_.setCommandsEnabled(kAllButtons | kAllItems, true);
  view_.setStatusTextFrom([reads] {
    if (reads > 1)
      return tr3("Zakłócenia na linii: ustawienia nieodczytane",
                 "Noise on the line: the settings were not read",
                 "Disturbi sulla linea: parametri non letti");
    return tr3("Sterownik nie odpowiada", "The controller does not answer",
               "La centralina non risponde");
  });
  if (hooks.settingsExchangeGaveUp) hooks.settingsExchangeGaveUp();
  // The controller did answer, more than once, but no two of its blocks agreed: that is the
  // line, and the fitter is told so rather than shown settings that may not be the car's.
  if (reads > 1) {
    showMessage(tr3("Odczyt ustawień nieudany: żadne dwa z %1 odczytów ze sterownika nie były "
                    "zgodne.\r\nZakłócenia na linii: sprawdź przewody i złącze sterownika i "
                    "spróbuj ponownie.",
                    "Reading the settings failed: no two of the controller's %1 read-outs "
                    "agreed.\r\nNoise on the line: check the controller's wiring and connector "
                    "and try again.",
                    "Lettura dei parametri non riuscita: nessuna delle %1 letture della "
                    "centralina coincideva con un'altra.\r\nDisturbi sulla linea: controllare i "
                    "cavi e il connettore della centralina e riprovare.")
                    .arg(reads),
                warningTitle(), MessageIcon::Warning);
  }
}

void LinkControl::closeSettingsExchange() {
  Timer6.resetCount();
  Timer6.stop();
  abandonSettingsExchange();
  view_.setCommandsEnabled(kAllButtons | kAllItems, true);
  view_.setStatusText(QString());
}

void LinkControl::abandonSettingsExchange() {
  Timer4.stop();
  reread_->stop();
  candidateBlock_.clear();
  blocksRead_ = 0;
  readSettingsOnReply = false;
  settingsReadOut = false;
  resumeOscilloscope = false;
  if (awaiting_ == Awaiting::Settings) awaiting_ = Awaiting::Nothing;
  replyCount = 0;
  EditDane.clear();
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
  abandonSettingsExchange();
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
  expectReply(statedReplyLength(cmd::StartCommunication).value_or(1), Awaiting::Settings);
  send(commands::startCommunication());
}

void LinkControl::endSettingsExchange() {
  // The exchange is over whatever the closing send does: a lost link leaves nothing behind, and
  // one ended before its block came gives up nothing later.
  const bool resume = resumeOscilloscope;
  closeSettingsExchange();
  sendInConversation(commands::endCommunication());
  if (resume) {
    delay(100);
    if (hooks.startOscilloscopeMode) hooks.startOscilloscopeMode();
  }
}

}  // namespace orvel
