#include "sim/ProtocolEngine.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace orvel::sim {

enum class Action {
  StartSession,
  EndSession,
  Identify,
  LiveData,
  ReadSettings,
  ReadPeriod,
  ReadStepper,
  OpenValve,
  CloseValve,
  SetStepper,
  EraseEeprom,
  WriteEeprom,
  Store,  // argument bytes go to the settings block at `offset`, in order
};

struct ProtocolEngine::Command {
  std::uint8_t code;
  std::uint8_t argc;
  Action action;
  std::uint8_t offset;
};

namespace {

constexpr std::uint8_t kDeviceNumber = 0x03;

}  // namespace

const ProtocolEngine::Command* ProtocolEngine::find(std::uint8_t code) {
  static const Command kCatalogue[] = {
      {0xAA, 0, Action::StartSession, 0},
      {0x0A, 0, Action::EndSession, 0},
      {0x01, 0, Action::Identify, 0},
      {0x02, 0, Action::LiveData, 0},
      {0x03, 1, Action::OpenValve, 0},
      {0x04, 1, Action::CloseValve, 0},
      {0x05, 1, Action::Store, field::kGasThreshold},
      {0x06, 4, Action::Store, field::kLambda1High},
      {0x07, 1, Action::Store, field::kTpsThreshold},
      {0x08, 2, Action::Store, field::kChangeoverPeriod},
      {0x09, 0, Action::ReadSettings, 0},
      {0x0B, 1, Action::Store, field::kFlags},
      {0x0C, 0, Action::ReadPeriod, 0},
      {0x0D, 0, Action::ReadStepper, 0},
      {0x0E, 1, Action::SetStepper, 0},
      {0x0F, 1, Action::Store, field::kLambdaThreshold},
      {0x10, 0, Action::EraseEeprom, 0},
      {0x11, 0, Action::WriteEeprom, 0},
      {0x12, 2, Action::Store, field::kStepperMax},  // max then min, both inverted
      {0x13, 1, Action::Store, field::kStepperStart},
      {0x14, 2, Action::Store, field::kMaxSpeedPeriod},
      {0x15, 2, Action::Store, field::kChangeoverDelay},
      {0x16, 2, Action::Store, field::kFallingDelta},
      {0x17, 1, Action::Store, field::kCutoffPosition},
      {0x18, 2, Action::Store, field::kCutoffPeriod},
      {0x19, 1, Action::Store, field::kPowerOnDelay},
      {0x1A, 4, Action::Store, field::kLambda2High},
      {0x1B, 1, Action::Store, field::kAccelSteps},
      {0x1C, 2, Action::Store, field::kIdleStepperSpeed},
      {0x1D, 1, Action::Store, field::kLowGasSteps},
      {0x1E, 1, Action::Store, field::kLambdaRange},
      {0x1F, 2, Action::Store, field::kIdlePeriodRef},
      {0x20, 2, Action::Store, field::kStepperSpeed2},
  };
  const auto it = std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                               [code](const Command& c) { return c.code == code; });
  return it == std::end(kCatalogue) ? nullptr : &*it;
}

ProtocolEngine::ProtocolEngine(const Config& config)
    : eeprom_(config.statePath, config.idlePeriod),
      engine_(config.seed, config.idlePeriod),
      faults_(config.faults) {
  const Eeprom::Loaded loaded = eeprom_.load();
  block_ = loaded.block;
  loadedFromStore_ = loaded.fromStore;
  loadNote_ = loaded.note;
  engine_.setStepperLimits(block_);
  setSteady(config.steady, 0.0);
  if (config.wander != Wander::Off) setWander(config.wander, 0.0);
  if (config.revCycle) engine_.setRevCycle(true, 0.0);
}

void ProtocolEngine::setSteady(SteadyState state, double t) {
  // "rev" and "idle" keep working while steady: they switch between the two steady states.
  if (state == SteadyState::High) engine_.rev(t);
  if (state == SteadyState::Idle) engine_.idle(t);
  engine_.setSteady(state != SteadyState::Off);
}

void ProtocolEngine::setWander(Wander mode, double t) {
  switch (mode) {
    case Wander::TpsDrift:
    case Wander::TpsAlternate:
      setSteady(SteadyState::High, t);
      break;
    case Wander::IdleAlternate:
    case Wander::Misfire:
      setSteady(SteadyState::Idle, t);
      break;
    case Wander::ValveHunt:
      if (!engine_.steady()) setSteady(SteadyState::Idle, t);
      break;
    case Wander::Off:
      break;
  }
  engine_.setWander(mode);
}

void ProtocolEngine::setNoticeHandler(std::function<void(const std::string&)> handler) {
  noticeHandler_ = std::move(handler);
  if (loadedFromStore_) {
    notice("settings loaded from " + (eeprom_.path().empty() ? "memory" : eeprom_.path()));
  } else {
    notice(loadNote_ + "; using factory defaults");
  }
}

void ProtocolEngine::notice(const std::string& text) {
  if (noticeHandler_) noticeHandler_(text);
}

SettingsBlock ProtocolEngine::settings() const {
  SettingsBlock visible = block_;
  if (faults_.uncalibrated) put16(visible, field::kIdlePeriodRef, kUncalibratedIdlePeriod);
  return visible;
}

std::vector<std::uint8_t> ProtocolEngine::receive(std::uint8_t byte, double t) {
  // The controller has no framing: a command whose arguments stop coming is
  // dropped, so that a lost byte does not shift every later command.
  if (pending_ && t - lastByteTime_ > kResyncGap) {
    pending_ = nullptr;
    args_.clear();
  }
  lastByteTime_ = t;

  if (!pending_) {
    pending_ = find(byte);
    if (!pending_) return {};  // noise or an unknown command
    args_.clear();
  } else {
    args_.push_back(byte);
  }
  if (args_.size() < pending_->argc) return {};

  const Command* command = pending_;
  pending_ = nullptr;
  return applyFaults(execute(*command, t));
}

std::vector<std::uint8_t> ProtocolEngine::receive(const std::vector<std::uint8_t>& bytes,
                                                  double t) {
  std::vector<std::uint8_t> out;
  for (std::uint8_t b : bytes) {
    const std::vector<std::uint8_t> reply = receive(b, t);
    out.insert(out.end(), reply.begin(), reply.end());
  }
  return out;
}

std::vector<std::uint8_t> ProtocolEngine::execute(const Command& command, double t) {
  switch (command.action) {
    case Action::StartSession:
      settingMode_ = true;
      return {kAck};
    case Action::EndSession:
      settingMode_ = false;
      return {};
    case Action::Identify:
      return {kDeviceNumber, kAck};
    case Action::LiveData: {
      const LiveFrame frame = engine_.frame(t);
      return {frame.begin(), frame.end()};
    }
    case Action::ReadSettings: {
      const SettingsBlock visible = settings();
      std::vector<std::uint8_t> reply(visible.begin(), visible.end());
      reply.push_back(kAck);
      return reply;
    }
    case Action::ReadPeriod: {
      const std::uint16_t period = engine_.period(t);
      return {static_cast<std::uint8_t>(period & 0xFF), static_cast<std::uint8_t>(period >> 8),
              kAck};
    }
    case Action::ReadStepper:
      return {engine_.stepperWire(t), kAck};
    case Action::OpenValve:
      engine_.moveStepper(args_[0], t);
      return {kAck};
    case Action::CloseValve:
      engine_.moveStepper(-args_[0], t);
      return {kAck};
    case Action::SetStepper:
      engine_.setStepperWire(args_[0], t);
      return {kAck};
    case Action::EraseEeprom: {
      std::string error;
      if (eeprom_.erase(&error)) {
        notice("EEPROM erased; factory defaults after restart");
      } else {
        notice(error);
      }
      return {kAck};
    }
    case Action::WriteEeprom: {
      std::string error;
      if (eeprom_.write(settings(), &error)) {
        notice("settings written to " + (eeprom_.path().empty() ? "memory" : eeprom_.path()));
      } else {
        notice(error);
      }
      return {kAck};
    }
    case Action::Store:
      std::copy(args_.begin(), args_.end(), block_.begin() + command.offset);
      if (command.offset == field::kIdlePeriodRef) faults_.uncalibrated = false;
      engine_.setStepperLimits(block_);
      return {kAck};
  }
  return {};
}

std::vector<std::uint8_t> ProtocolEngine::applyFaults(std::vector<std::uint8_t> reply) {
  if (faults_.silent) return {};
  if (faults_.shortLength >= 0 && reply.size() > static_cast<std::size_t>(faults_.shortLength)) {
    reply.resize(static_cast<std::size_t>(faults_.shortLength));
  }
  if (reply.empty()) return reply;
  if (faults_.strayEach || faults_.strayOnce) {
    reply.insert(reply.begin(), kStrayByte);
    faults_.strayOnce = false;
  }
  return reply;
}

void ProtocolEngine::control(const ControlCommand& command, double t) {
  using Kind = ControlCommand::Kind;
  switch (command.kind) {
    case Kind::Rev:
      engine_.rev(t);
      break;
    case Kind::Idle:
      engine_.idle(t);
      break;
    case Kind::RevCycle:
      engine_.setRevCycle(command.on, t);
      break;
    case Kind::Silent:
      faults_.silent = command.on;
      break;
    case Kind::Short:
      faults_.shortLength = command.on ? command.value : -1;
      break;
    case Kind::Stray:
      faults_.strayOnce = true;
      break;
    case Kind::Uncalibrated:
      faults_.uncalibrated = command.on;
      break;
    case Kind::Steady:
      setSteady(static_cast<SteadyState>(command.value), t);
      break;
    case Kind::Wander:
      setWander(static_cast<Wander>(command.value), t);
      break;
    case Kind::Blank:
    case Kind::Noise:  // the line's business, not the controller's
    case Kind::BitErrors:
    case Kind::Latency:
    case Kind::Hangup:
    case Kind::Quit:
      break;
  }
}

}  // namespace orvel::sim
