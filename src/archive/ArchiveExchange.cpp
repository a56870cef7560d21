#include "archive/ArchiveExchange.h"

#include "core/Language.h"
#include "link/LinkControl.h"
#include "link/LinkError.h"

namespace orvel {

QString controllerSilentText() {
  return plIt(QStringLiteral("Sterownik nie odpowiada"),
              QStringLiteral("La centralina non risponde"));
}

ArchiveExchange::ArchiveExchange(LinkControl& link, ArchiveRecorder& recorder,
                                 std::function<CarLines()> currentCar)
    : link_(link), recorder_(recorder), currentCar_(std::move(currentCar)) {}

void ArchiveExchange::readController(Phase next) {
  phase_ = next;
  waiting_ = true;
  try {
    link_.startSettingsExchange();
  } catch (...) {
    // The port would not open: nothing was started, nothing waits.
    phase_ = Phase::Idle;
    waiting_ = false;
    throw;
  }
}

void ArchiveExchange::finish() {
  phase_ = Phase::Idle;
  waiting_ = false;
  // Ends the communication as closing the editor does, and gives the commands back.
  link_.endSettingsExchange();
}

Readout ArchiveExchange::kept(const SettingsBlock& block, ReadoutSource source) {
  Readout r;
  r.car = currentCar_();
  r.takenAt = QDateTime::currentDateTimeUtc();
  r.source = source;
  r.block = block;
  if (const auto id = recorder_.keep(r.car, source, block)) r.id = *id;
  return r;
}

void ArchiveExchange::compareWithController(const Readout& record) {
  if (busy()) return;
  record_ = record;
  readController(Phase::Comparing);
}

void ArchiveExchange::startWriteBack(const Readout& record) {
  if (busy()) return;
  record_ = record;
  report_ = WriteReport{};
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
      const CarLines car = currentCar_();
      const bool knownCar = !car.line1.trimmed().isEmpty() || !car.line2.trimmed().isEmpty();
      report_.plan = planWriteBack(record_, block, knownCar && car == record_.car);
      if (report_.plan.empty()) {
        finish();
      } else {
        // The communication stays open while the fitter looks at the plan.
        phase_ = Phase::AwaitingConfirm;
      }
      if (planReady) planReady(report_.plan);
      return;
    }
    case Phase::ReadingAfter: {
      kept(block, ReadoutSource::Write);
      report_.confirmed = confirmedSteps(report_.plan, block);
      report_.blockMatches = block == report_.plan.expected;
      finish();
      if (writeFinished) writeFinished(report_);
      return;
    }
    default:
      return;
  }
}

void ArchiveExchange::confirmWriteBack() {
  if (phase_ != Phase::AwaitingConfirm) return;
  try {
    for (const WriteStep& step : report_.plan.steps) {
      if (!step.command) continue;
      link_.send(*step.command);
      report_.sent.push_back(step.setting);
    }
    // What closing the editor sends after its OKs; the controller keeps what it was sent.
    link_.send(commands::endCommunication());
  } catch (const AppError& e) {
    // A LinkError, or a ReportedError for a link whose loss is already on the screen.
    report_.linkBroke = true;
    phase_ = Phase::Idle;
    if (dynamic_cast<const LinkError*>(&e)) link_.sendFailed(e.text());
    try {
      link_.endSettingsExchange();
    } catch (const AppError&) {
      // The box about the link is already up; the commands are back all the same.
    }
    if (writeFinished) writeFinished(report_);
    return;
  }
  readController(Phase::ReadingAfter);
}

void ArchiveExchange::cancelWriteBack() {
  if (phase_ == Phase::AwaitingConfirm) finish();
}

void ArchiveExchange::gaveUp() {
  if (!waiting_) return;
  const bool afterWriting = phase_ == Phase::ReadingAfter;
  waiting_ = false;
  phase_ = Phase::Idle;
  if (afterWriting && writeFinished) {
    // Sent, but not read back: every step stays unconfirmed.
    report_.confirmed.assign(report_.plan.steps.size(), false);
    writeFinished(report_);
  }
  if (failed) failed(controllerSilentText());
}

}  // namespace orvel
