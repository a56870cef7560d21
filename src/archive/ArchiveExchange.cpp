#include "archive/ArchiveExchange.h"

#include "core/Dialogs.h"
#include "core/Language.h"
#include "link/LinkControl.h"
#include "link/LinkError.h"

#include <algorithm>

namespace orvel {

namespace {

constexpr Millis kEepromPoll{20};

bool knownCar(const CarLines& car) {
  return !car.line1.trimmed().isEmpty() || !car.line2.trimmed().isEmpty();
}

QString endText(WriteEnd end) {
  switch (end) {
    case WriteEnd::Uncalibrated:
      return tr3("Sterownik nie ma skalibrowanych wolnych obrotów.",
                 "The controller has no calibrated idle speed.",
                 "La centralina non ha il minimo calibrato.");
    case WriteEnd::WindowClosed:
      return tr3("Okno archiwum zostało zamknięte.", "The archive window was closed.",
                 "La finestra dell'archivio è stata chiusa.");
    case WriteEnd::Console:
      return tr3("Otwarto konsolę serwisową.", "The service console was opened.",
                 "È stata aperta la console di servizio.");
    default:
      return controllerSilentText();
  }
}

}  // namespace

QString controllerSilentText() {
  return tr3("Sterownik nie odpowiada", "The controller does not answer",
             "La centralina non risponde");
}

ArchiveExchange::ArchiveExchange(LinkControl& link, ArchiveRecorder& recorder)
    : link_(link), recorder_(recorder), eepromPoll_(link.timerService().createHandle([this] {
        guarded([this] { eepromAnswered(); });
      })) {}

ArchiveExchange::~ArchiveExchange() {
  eepromPoll_->stop();
}

void ArchiveExchange::readController(Phase next) {
  phase_ = next;
  waiting_ = true;
  try {
    link_.startSettingsExchange();
  } catch (...) {
    // The port would not open or the request did not go: nothing waits.
    phase_ = Phase::Idle;
    waiting_ = false;
    throw;
  }
}

void ArchiveExchange::finish() {
  phase_ = Phase::Idle;
  waiting_ = false;
  eepromPoll_->stop();
  try {
    link_.endSettingsExchange();
  } catch (const LinkError& e) {
    link_.sendFailed(e.text());
  } catch (const ReportedError&) {
    // The box about the link is already up; the commands are back all the same.
  }
}

Readout ArchiveExchange::kept(const SettingsBlock& block, ReadoutSource source) {
  Readout r;
  r.car = car_;
  r.takenAt = QDateTime::currentDateTimeUtc();
  r.source = source;
  r.block = block;
  if (const auto id = recorder_.keep(r.car, source, block)) r.id = *id;
  return r;
}

void ArchiveExchange::compareWithController(const Readout& record, const CarLines& car) {
  if (busy()) return;
  record_ = record;
  car_ = car;
  readController(Phase::Comparing);
}

void ArchiveExchange::startWriteBack(const Readout& record, const CarLines& car) {
  if (busy()) return;
  record_ = record;
  car_ = car;
  report_ = WriteReport{};
  report_.record = record;
  readController(Phase::ReadingBefore);
}

void ArchiveExchange::blockArrived(const SettingsBlock& block) {
  if (!waiting_) return;
  waiting_ = false;
  switch (phase_) {
    case Phase::Comparing: {
      const Readout controller = kept(block, ReadoutSource::Read);
      finish();
      if (compared) compared(controller, record_);
      return;
    }
    case Phase::ReadingBefore: {
      kept(block, ReadoutSource::Read);
      // The record's idle period reference goes back only into the car it was measured on.
      report_.plan = planWriteBack(record_, block, knownCar(car_) && car_ == record_.car);
      report_.readBack = block;
      // The communication stays open while the fitter looks at the plan; with nothing to send
      // he may still have the settings the controller holds written to its EEPROM.
      phase_ = Phase::AwaitingConfirm;
      if (planReady) planReady(report_.plan);
      return;
    }
    case Phase::ReadingAfter: {
      report_.readBack = block;
      report_.outcomes = stepOutcomes(report_.plan, report_.sent, block);
      report_.blockMatches = block == report_.plan.expected;
      kept(block, report_.blockMatches ? ReadoutSource::Write : ReadoutSource::WriteUnconfirmed);
      if (!report_.blockMatches) {
        // What the controller holds is not what was meant: the EEPROM keeps what it had, and
        // the ignition switched off brings that back.
        return reportWrite(WriteEnd::ReadBack);
      }
      return writeEeprom();
    }
    default:
      return;
  }
}

void ArchiveExchange::eepromAnswered() {
  if (phase_ != Phase::WritingEeprom) return eepromPoll_->stop();
  // An answer that reached the port while the user interface was held up is still the answer.
  if (link_.replyCount < 1 && link_.timerService().now() >= eepromDeadline_)
    link_.transport().collectReceived();
  if (link_.replyCount >= 1) {
    report_.eepromAnswer = link_.byte(0);
    report_.eeprom =
        report_.eepromAnswer == kAcknowledge ? EepromWrite::Acknowledged : EepromWrite::OtherAnswer;
  } else if (link_.timerService().now() >= eepromDeadline_) {
    report_.eeprom = EepromWrite::NoAnswer;
  } else {
    return;
  }
  reportWrite(WriteEnd::ReadBack);
}

void ArchiveExchange::reportWrite(WriteEnd end) {
  report_.end = end;
  if (report_.outcomes.size() != report_.plan.steps.size())
    report_.outcomes = stepOutcomes(report_.plan, report_.sent, std::nullopt);
  finish();
  if (writeFinished) writeFinished(report_);
}

void ArchiveExchange::confirmWriteBack() {
  if (phase_ != Phase::AwaitingConfirm) return;
  if (!report_.plan.sendsAnything()) {
    // The block just read in this communication shows the record's settings already: it is
    // the check, and only the EEPROM write goes out.
    report_.outcomes = stepOutcomes(report_.plan, report_.sent, report_.readBack);
    report_.blockMatches = true;
    return writeEeprom();
  }
  report_.readBack.reset();
  try {
    for (const WriteStep& step : report_.plan.steps) {
      if (!step.command) continue;
      link_.send(*step.command);
      report_.sent.push_back(step.setting);
    }
    // What closing the editor sends after its OKs; the controller keeps what it was sent.
    link_.send(commands::endCommunication());
    // The read-back is a new exchange; oscilloscope mode comes back after it as after the editor.
    const bool resume = link_.resumeOscilloscope;
    readController(Phase::ReadingAfter);
    link_.resumeOscilloscope = link_.resumeOscilloscope || resume;
  } catch (const AppError& e) {
    linkBroke(e);
    waiting_ = false;
    reportWrite(WriteEnd::LinkBroke);
  }
}

void ArchiveExchange::writeEeprom() {
  phase_ = Phase::WritingEeprom;
  try {
    link_.sendExpectingReply(commands::writeEeprom(), 1);
  } catch (const AppError& e) {
    linkBroke(e);
    report_.eeprom = EepromWrite::LinkBroke;
    return reportWrite(WriteEnd::ReadBack);
  }
  eepromDeadline_ = link_.timerService().now() + kEepromAnswerWait + 2 * kCharacterTime;
  eepromPoll_->start(kEepromPoll, kEepromPoll);
}

void ArchiveExchange::linkBroke(const AppError& e) {
  // A LinkError is shown once by the link; a ReportedError is on the screen already; anything
  // else (a port that would not open again) is shown as its handler would have shown it.
  if (dynamic_cast<const LinkError*>(&e)) {
    link_.sendFailed(e.text());
  } else if (!dynamic_cast<const ReportedError*>(&e)) {
    showErrorBox(e.text());
  }
}

void ArchiveExchange::cancelWriteBack() {
  if (phase_ == Phase::AwaitingConfirm) finish();
}

void ArchiveExchange::endEarly(WriteEnd reason, bool endCommunication, const QString& text) {
  const Phase phase = phase_;
  waiting_ = false;
  if (phase == Phase::ReadingAfter) {
    // Sent, but not read back: nothing is known of what the controller took.
    if (!endCommunication) {
      phase_ = Phase::Idle;
      report_.end = reason;
      report_.outcomes = stepOutcomes(report_.plan, report_.sent, std::nullopt);
      if (writeFinished) writeFinished(report_);
      return;
    }
    return reportWrite(reason);
  }
  if (endCommunication) {
    finish();
  } else {
    phase_ = Phase::Idle;
  }
  if (failed) failed(text);
}

void ArchiveExchange::gaveUp() {
  // The link gave the exchange up and the commands back, and sends nothing: the controller did
  // not answer (or the link was lost).
  if (waiting_) endEarly(WriteEnd::Silent, false, controllerSilentText());
}

void ArchiveExchange::blockRefused() {
  if (waiting_) endEarly(WriteEnd::Uncalibrated, true, endText(WriteEnd::Uncalibrated));
}

void ArchiveExchange::consoleOpened() {
  endNow(WriteEnd::Console);
}

void ArchiveExchange::windowClosed() {
  endNow(WriteEnd::WindowClosed);
}

void ArchiveExchange::endNow(WriteEnd reason) {
  if (phase_ == Phase::Idle) return;
  if (phase_ == Phase::WritingEeprom) {
    // The 11h went out; its answer is not waited for (the console takes it now).
    report_.eeprom = EepromWrite::NotAwaited;
    return reportWrite(WriteEnd::ReadBack);
  }
  endEarly(reason, true, endText(reason));
}

void ArchiveExchange::programEnds() {
  eepromPoll_->stop();
  phase_ = Phase::Idle;
  waiting_ = false;
}

}  // namespace orvel
