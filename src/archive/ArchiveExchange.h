#pragma once

#include "archive/ArchiveRecorder.h"
#include "archive/ArchivedSettings.h"

#include <functional>
#include <optional>
#include <vector>

namespace orvel {

class LinkControl;

// What came of writing a record back.
struct WriteReport {
  WritePlan plan;
  std::vector<bool> confirmed;  // per step of the plan, once read back
  bool blockMatches = false;    // the whole block read back is the one meant
  std::vector<Setting> sent;    // the settings whose bytes went out
  bool linkBroke = false;       // the link failed while sending; nothing was read back
};

// The archive's own conversations with the controller, each through the settings exchange the
// F5 command runs (AAh, then 09h): comparing a record with the controller, and writing a record
// back with a check. A settings block is taken only while an exchange this class started waits
// for one; the settings editor never opens for it.
class ArchiveExchange {
 public:
  ArchiveExchange(LinkControl& link, ArchiveRecorder& recorder,
                  std::function<CarLines()> currentCar);

  // ---- From the link's hooks
  bool wantsBlock() const { return waiting_; }
  void blockArrived(const SettingsBlock& block);
  void gaveUp();

  // ---- The fitter's commands
  bool busy() const { return phase_ != Phase::Idle; }
  void compareWithController(const Readout& record);
  // Reads the controller first; planReady then shows what would change.
  void startWriteBack(const Readout& record);
  // The fitter saw the plan and confirmed it.
  void confirmWriteBack();
  void cancelWriteBack();

  // ---- Outcomes
  std::function<void(const Readout& controller, const Readout& record)> compared;
  std::function<void(const WritePlan& plan)> planReady;  // an empty plan: nothing was sent
  std::function<void(const WriteReport& report)> writeFinished;
  std::function<void(const QString& text)> failed;

 private:
  enum class Phase { Idle, Comparing, ReadingBefore, AwaitingConfirm, ReadingAfter };
  void readController(Phase next);
  void finish();
  Readout kept(const SettingsBlock& block, ReadoutSource source);

  LinkControl& link_;
  ArchiveRecorder& recorder_;
  std::function<CarLines()> currentCar_;
  Phase phase_ = Phase::Idle;
  bool waiting_ = false;
  Readout record_;
  WriteReport report_;
};

// "The controller does not answer", in the message rule's languages.
QString controllerSilentText();

}  // namespace orvel
