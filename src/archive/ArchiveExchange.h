#pragma once

#include "archive/ArchiveRecorder.h"
#include "archive/ArchivedSettings.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace orvel {

class AppError;
class LinkControl;

// How a write-back ended.
enum class WriteEnd {
  ReadBack,      // the controller was read again after writing
  Silent,        // no read-back came in time (a silent controller, a lost link)
  LinkBroke,     // the link failed while the settings went out
  Uncalibrated,  // the read-back said the controller has no calibrated idle speed
  WindowClosed,  // the archive window was closed before the read-back
  Console,       // the service console was opened before the read-back
};

// The write to the controller's EEPROM (11h) that follows a read-back showing what was sent.
enum class EepromWrite {
  NotSent,       // the read-back did not show what was sent, or none came
  Acknowledged,  // the controller answered 01h
  OtherAnswer,   // it answered something else (eepromAnswer)
  NoAnswer,      // nothing came within kEepromAnswerWait
  NotAwaited,    // the window was closed or the console opened before the answer
  LinkBroke,     // the link failed sending it
};

// What came of writing a record back.
struct WriteReport {
  WritePlan plan;
  Readout record;
  std::vector<Setting> sent;  // the settings whose bytes went out
  WriteEnd end = WriteEnd::ReadBack;
  // The block read after writing; with nothing to send, the one read before.
  std::optional<SettingsBlock> readBack;
  std::vector<StepOutcome> outcomes;  // per step of the plan
  bool blockMatches = false;          // the block read back is the one the plan meant
  EepromWrite eeprom = EepromWrite::NotSent;
  int eepromAnswer = -1;
  // The read-back showed exactly what was sent.
  bool verified() const { return end == WriteEnd::ReadBack && blockMatches; }
};

// The archive's own conversations with the controller, each through the settings exchange the
// F5 command runs (AAh, then 09h): comparing a record with the controller, and writing a record
// back with a check and, once the check shows what was sent, into the EEPROM. A settings block
// is taken only while an exchange this class started waits for one; the settings editor never
// opens for it. Every way an exchange ends (a block, an uncalibrated block, silence, a lost link,
// the archive window closed, the service console opened) ends this class's part in it, so the
// next F5 is an ordinary one; what the controller was put into (its setting mode) is ended with
// 0Ah wherever the controller answered.
class ArchiveExchange {
 public:
  // How long the controller may take to answer the EEPROM write.
  static constexpr Millis kEepromAnswerWait{1000};

  ArchiveExchange(LinkControl& link, ArchiveRecorder& recorder);
  ~ArchiveExchange();

  // ---- From the link's hooks and the service console
  bool wantsBlock() const { return waiting_; }
  void blockArrived(const SettingsBlock& block);
  void gaveUp();
  void blockRefused();
  void consoleOpened();

  // ---- The fitter's commands; `car`: the car the new rows belong to
  bool busy() const { return phase_ != Phase::Idle; }
  bool awaitingConfirmation() const { return phase_ == Phase::AwaitingConfirm; }
  // The car the rows of the exchange running (or last run) belong to.
  const CarLines& carOfNewRows() const { return car_; }
  void compareWithController(const Readout& record, const CarLines& car);
  // Reads the controller first; planReady then shows what would change.
  void startWriteBack(const Readout& record, const CarLines& car);
  // The fitter saw the plan and confirmed it.
  void confirmWriteBack();
  void cancelWriteBack();
  // The archive window closed: whatever runs ends now.
  void windowClosed();
  // The program ends: the archive's part ends here; the link's own close sends the 0Ah that
  // ends an exchange still open.
  void programEnds();

  // ---- Outcomes
  std::function<void(const Readout& controller, const Readout& record)> compared;
  std::function<void(const WritePlan& plan)> planReady;  // an empty plan: nothing was sent
  std::function<void(const WriteReport& report)> writeFinished;
  // An exchange that ended before it had anything to show; nothing was written.
  std::function<void(const QString& text)> failed;

 private:
  enum class Phase { Idle, Comparing, ReadingBefore, AwaitingConfirm, ReadingAfter, WritingEeprom };
  void readController(Phase next);
  // Ends the communication as closing the editor does, and gives the commands back.
  void finish();
  void reportWrite(WriteEnd end);
  void writeEeprom();
  void eepromAnswered();
  void linkBroke(const AppError& error);
  // The exchange ended before its block came, for `reason`; `endCommunication`: the controller
  // may be in its setting mode and is told 0Ah.
  void endEarly(WriteEnd reason, bool endCommunication, const QString& text);
  // The fitter ended it (the window closed, the console opened): the controller is told 0Ah.
  void endNow(WriteEnd reason);
  Readout kept(const SettingsBlock& block, ReadoutSource source);

  LinkControl& link_;
  ArchiveRecorder& recorder_;
  Phase phase_ = Phase::Idle;
  bool waiting_ = false;
  Readout record_;
  CarLines car_;
  WriteReport report_;
  std::unique_ptr<TimerService::Handle> eepromPoll_;
  Nanos eepromDeadline_{0};
};

// "The controller does not answer", in the message rule's languages.
QString controllerSilentText();

}  // namespace orvel
