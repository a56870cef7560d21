#pragma once

#include "link/Protocol.h"
#include "link/ReceiveBuffer.h"
#include "link/SerialTransport.h"
#include "link/Timers.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace orvel {

class SerialTransport;
struct ControllerState;

// The four main commands exclude one another by disabling each other's toolbar buttons and menu
// items; buttons and items are switched separately.
enum MainCommand : unsigned {
  kButtonF5 = 1u << 0,      // "(F5)" settings exchange
  kButtonF6 = 1u << 1,      // "(F6)" autocalibration
  kButtonF7 = 1u << 2,      // "(F7)" oscilloscope mode
  kButtonF8 = 1u << 3,      // "(F8)" rpm scaling
  kItemSettings = 1u << 4,  // "Zmiana parametrów pracy"
  kItemAutocal = 1u << 5,   // "Autokalibracja"
  kItemScope = 1u << 6,     // "Tryb oscyloskopu"
  kItemScaling = 1u << 7,   // "Skalowanie obrotów [PB]"
};
using MainCommands = unsigned;
constexpr MainCommands kAllButtons = kButtonF5 | kButtonF6 | kButtonF7 | kButtonF8;
constexpr MainCommands kAllItems = kItemSettings | kItemAutocal | kItemScope | kItemScaling;

// The status text of a running oscilloscope mode.
QString oscilloscopeStatusText();

// What the link control needs of the main window.
class LinkView {
 public:
  virtual ~LinkView() = default;
  virtual void setStatusText(const QString& text) = 0;
  // A text of the program's own, made again by `make` when the interface language changes.
  virtual void setStatusTextFrom(std::function<QString()> make) {
    setStatusText(make ? make() : QString());
  }
  virtual void setCommandsEnabled(MainCommands commands, bool enabled) = 0;
  virtual bool calibrationPanelVisible() const = 0;
  virtual bool oscilloscopePanelVisible() const = 0;
};

// Where complete replies go. Handlers read their bytes through LinkControl::byte().
struct LinkHooks {
  std::function<void()> showLiveFrame;            // 8 bytes in oscilloscope mode
  std::function<void()> takeIdleSample;           // 8 bytes while idle-sampling
  std::function<void()> takeHighRpmSample;        // 8 bytes while high-rpm-sampling
  std::function<void(std::uint8_t)> serviceByte;  // every byte while the service console is open
  std::function<void()> decodeSettings;           // the settings block, into the editor
  std::function<void()> showSettingsEditor;
  std::function<void()> settingsExchangeGaveUp;  // no settings block came in time
  // The block said the controller has no calibrated idle speed: the exchange ended with its box.
  std::function<void()> settingsBlockRefused;
  std::function<void()> endOscilloscopeMode;    // as the panel's "Koniec"
  std::function<void()> startOscilloscopeMode;  // as "Tryb oscyloskopu"
  // The link opened on another port than the one the menu shows (see setChosenPort).
  std::function<void(const QString& portName)> portChanged;
  // Another command takes the link over: ends a wizard left open after a reply timeout gave the
  // commands back, and a sampling run still going.
  std::function<void()> endCalibration;
  // A sampling run got no complete reply in time, or the port failed under it.
  std::function<void()> sampleRunFailed;
  // The tenth sample of an rpm scaling run is in and the commands are given back.
  std::function<void()> rpmScalingEnded;
  // 8 bytes that are no whole frame (see wholeLiveFrame): not shown, not taken as a sample.
  std::function<void()> liveFrameDropped;
  std::function<void()> sampleDropped;
};

// Every conversation with the controller: the receive buffer and the dispatch of complete
// replies (recognised by their length alone), the three requests, the timers that pace the live
// and sample loops and notice a silent controller, and the settings exchange.
class LinkControl {
 public:
  LinkControl(SerialTransport& link, TimerService& timers, LinkView& view, ControllerState& state);
  LinkControl(const LinkControl&) = delete;
  LinkControl& operator=(const LinkControl&) = delete;

  LinkHooks hooks;

  // ---- Reception and dispatch
  void ComPort1RxChar(int count);
  // Byte k of the current reply (0..255), -1 when absent.
  int byte(int k) const { return EditDane.byteAt(k); }
  int word(int k) const { return EditDane.wordAt(k); }
  // The reply in the buffer is a live frame as the controller sends one: eight bytes within its
  // window, the last the closing 01h.
  bool wholeLiveFrame() const;

  // ---- Requests
  void liveFrameRequest();
  void sampleRequest();
  void settingsReadOutRequest();

  // ---- Settings exchange ("Zmiana parametrów pracy", F5) and its end (the editor closed)
  void startSettingsExchange();
  // Ends the exchange as closing the editor does (0Ah, the commands back), also one that is
  // still waiting for its block.
  void endSettingsExchange();

  // Sends a command inside the communication and takes the `length` bytes of its answer into
  // the receive buffer (replyCount, byte()) until the next request; the caller decides how long
  // it waits, and takes in what has reached the port (transport().collectReceived()) before it
  // calls the controller silent.
  void sendExpectingReply(const Command& command, int length);

  // A blocking pause of the user-interface thread, n × 1 ms; nothing is processed meanwhile.
  void delay(int n);

  // Every command that starts a conversation (F5, F6, F7, F8, the console's send) calls this
  // first: a link that was lost (an unplugged adapter, a controller that hung up) or never opened
  // is opened again on its port name, silently when that works. When it does not, the open error
  // is raised and the command goes no further, so the fitter sees one box, not one per send.
  void ensureOpen();
  // The port the fitter chose (the configured one) when the start fell back to the other one and
  // that failed too: a command then tries the chosen port as well, and keeps whichever opens.
  void setChosenPort(const QString& name) { chosenPort_ = name; }

  // A reply counts only while its window is open: from its request until the request's own
  // watchdog gives it up (a sample request: Timer1; the AAh and 09h of the settings exchange:
  // its give-up, Timer6) or the next request goes out; a live frame's window stays open after
  // Timer2, so that a frame 0.9 s late is still shown. Bytes already waiting when a request goes
  // out are not its reply. Bytes outside a window are stray and dropped unseen: they stop no
  // watchdog, start no read-out and count towards no reply.
  bool replyWindowOpen() const { return awaiting_ != Awaiting::Nothing; }

  // A settings block is taken when a second read gives it again; the second 09h goes this long
  // after the first block, once what may still come of it has come.
  static constexpr Millis kBlockRereadDelay{45};

  // The settings exchange runs from F5 until its block is handled or it is given up.
  bool settingsExchangeRunning() const { return Timer6.isRunning(); }

  // Sends inside the conversation in progress, for a step the fitter takes (an OK of the
  // editor or the wizard, the console's send). A link that is not open is opened again first,
  // so the step reaches the controller once it is back; when it is not, the step is a new
  // question and gets its answer: the error is raised (and shown) again, however often the
  // link's loss has been shown already.
  void send(const Command& command);
  SerialTransport& transport() { return link_; }

  // The program closes in the middle of an exchange: 0Ah ends it, as the exchange's own end does,
  // so that the controller is not left in its setting mode. Nothing when none is open; a link
  // that fails here is not reported (the program is going).
  void endCommunicationOnClose();

  // The link failed (a write in a loop, or the device went away): the live loop and any sampling
  // run end as "Koniec" ends them, a pending settings read-out is dropped, and the error is
  // shown once; a failure while that box is open adds no second one, and neither does any send
  // on the failed link until it opens again.
  void linkFailed(const QString& errorText);
  // A LinkError thrown by send() that the caller catches rather than letting its handler show.
  void sendFailed(const QString& errorText);
  TimerService& timerService() { return timers_; }

  // ---- Link state, all 0 or false at start
  ReceiveBuffer EditDane;
  int replyCount = 0;
  int samplesRemaining = 0;
  bool oscilloscopeMode = false;
  bool idleSampling = false;
  bool highRpmSampling = false;
  bool settingsReadOut = false;
  bool readSettingsOnReply = false;
  bool serviceMode = false;
  bool sweepPaused = false;
  bool resumeOscilloscope = false;
  bool rpmScalingOnly = false;

  // ---- Timers
  WindowTimer Timer1;     // 100 ms × 16: no reply to a sample request
  WindowTimer Timer2;     // 50 ms × 16: no complete live frame
  WindowTimer Timer3;     // 50 ms × 11: rest after a missed frame
  WindowTimer Timer4;     // 100 ms × 11: from the answer to AAh to the settings read-out
  WindowTimer Timer6;     // 200 ms × 31: give-up of the settings exchange
  PacedTimer wykres_on1;  // 20 ms, never closer than 18: next live-frame request
  PacedTimer Timerznak;   // 50 ms, never closer than 50: next sample request

 private:
  void EditDaneChange();
  enum class Awaiting { Nothing, Frame, Sample, Settings, Answer };
  // Opens the window of the reply to the request about to go out; whatever is already waiting
  // on the line is not its answer and is thrown away.
  void expectReply(int length, Awaiting what);
  // A watchdog about to give its request up first takes in what has reached the port: a
  // reply that came in time is still its reply when the user interface was held up between
  // its arrival and its handling. True when that reply stopped the watchdog.
  bool answeredMeanwhile(const WindowTimer& watchdog);
  // Nothing of an exchange that ended without its editor may act later: no read-out, no block
  // taken from bytes that answer something else, no oscilloscope restart.
  void abandonSettingsExchange();
  // The same, with its watchdog stopped and the commands back, for an exchange that ends now.
  void closeSettingsExchange();
  void settingsBlockArrived();
  void Timer4Timer();
  // A send inside a conversation that nobody asked for just now (a loop's request, the
  // read-out, the end of the exchange): a failure already shown is not shown again.
  void sendInConversation(const Command& command);
  // Sends the request of a loop; a link failure ends the loop instead of leaving it to send
  // again and again into a dead port.
  void sendRequest(const Command& command);
  void endLoopsAfterFailure();
  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();
  void Timer6Timer();
  void wykres_on1Timer();
  void TimerznakTimer();

  SerialTransport& link_;
  TimerService& timers_;
  LinkView& view_;
  ControllerState& state_;
  bool failureShown_ = false;
  // The link's present failure has been shown: no opening of the link since, no send that worked.
  bool failureReported() const;
  void markReported();
  int reportedAt_ = -1;
  QString chosenPort_;
  Awaiting awaiting_ = Awaiting::Nothing;
  bool communicationOpen_ = false;
  // The settings read-out's check: the last whole block read, the reads so far in this
  // exchange, and the next read's start.
  QByteArray candidateBlock_;
  int blocksRead_ = 0;
  std::unique_ptr<TimerService::Handle> reread_;
};

}  // namespace orvel
