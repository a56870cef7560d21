#include "link/Protocol.h"

#include "link/SerialTransport.h"

namespace orvel {

QByteArray Command::bytes() const {
  QByteArray out;
  out.reserve(static_cast<int>(args.size()) + 1);
  out.append(static_cast<char>(code));
  for (std::uint8_t b : args)
    out.append(static_cast<char>(b));
  return out;
}

std::optional<int> statedReplyLength(std::uint8_t code) {
  switch (code) {
    case cmd::EndCommunication:
      return 0;
    case cmd::Identify:
    case cmd::ReadStepper:
      return 2;
    case cmd::LiveData:
      return kLiveFrameLength;
    case cmd::ReadSettings:
      return kSettingsBlockLength;
    case cmd::ReadPeriod:
      return 3;
    case cmd::StartCommunication:
    case cmd::OpenValve:
    case cmd::CloseValve:
    case cmd::GasThreshold:
    case cmd::Lambda1Shape:
    case cmd::TpsThreshold:
    case cmd::ChangeoverSpeed:
    case cmd::InstallationFlags:
    case cmd::SetStepper:
    case cmd::LambdaThreshold:
    case cmd::EraseEeprom:
    case cmd::WriteEeprom:
    case cmd::StepperRange:
    case cmd::StepperStart:
    case cmd::MaxSpeedOnGas:
    case cmd::ChangeoverDelay:
      return 1;
    default:
      return std::nullopt;
  }
}

std::uint8_t lowByte(long long value) {
  return static_cast<std::uint8_t>(static_cast<unsigned long long>(value) & 0xFFu);
}

std::uint8_t invertedPosition(long long position) {
  return static_cast<std::uint8_t>(~lowByte(position));
}

void appendWord(std::vector<std::uint8_t>& args, long long value) {
  const auto word = static_cast<std::uint16_t>(static_cast<unsigned long long>(value) & 0xFFFFu);
  args.push_back(static_cast<std::uint8_t>(word & 0xFFu));
  args.push_back(static_cast<std::uint8_t>(word >> 8));
}

namespace commands {

namespace {
Command bare(std::uint8_t code) {
  return Command{code, {}};
}
Command withByte(std::uint8_t code, long long value) {
  return Command{code, {lowByte(value)}};
}
Command withWord(std::uint8_t code, long long value) {
  Command c{code, {}};
  appendWord(c.args, value);
  return c;
}
Command withShape(std::uint8_t code, long long highCount, long long periodCount) {
  Command c{code, {}};
  appendWord(c.args, highCount);
  appendWord(c.args, periodCount);
  return c;
}
}  // namespace

Command startCommunication() {
  return bare(cmd::StartCommunication);
}
Command endCommunication() {
  return bare(cmd::EndCommunication);
}
Command identify() {
  return bare(cmd::Identify);
}
Command liveData() {
  return bare(cmd::LiveData);
}
Command openValve(long long steps) {
  return withByte(cmd::OpenValve, steps);
}
Command closeValve(long long steps) {
  return withByte(cmd::CloseValve, steps);
}
Command gasThreshold(long long threshold) {
  return withByte(cmd::GasThreshold, threshold);
}
Command lambda1Shape(long long highCount, long long periodCount) {
  return withShape(cmd::Lambda1Shape, highCount, periodCount);
}
Command tpsThreshold(long long raw) {
  return withByte(cmd::TpsThreshold, raw);
}
Command changeoverSpeed(long long period) {
  return withWord(cmd::ChangeoverSpeed, period);
}
Command readSettings() {
  return bare(cmd::ReadSettings);
}
Command installationFlags(std::uint8_t flags) {
  return withByte(cmd::InstallationFlags, flags);
}
Command readPeriod() {
  return bare(cmd::ReadPeriod);
}
Command readStepper() {
  return bare(cmd::ReadStepper);
}
Command setStepper(long long position) {
  return withByte(cmd::SetStepper, position);
}
Command lambdaThreshold(long long raw) {
  return withByte(cmd::LambdaThreshold, raw);
}
Command eraseEeprom() {
  return bare(cmd::EraseEeprom);
}
Command writeEeprom() {
  return bare(cmd::WriteEeprom);
}
Command stepperRange(long long maxPosition, long long minPosition) {
  return Command{cmd::StepperRange, {invertedPosition(maxPosition), invertedPosition(minPosition)}};
}
Command stepperStart(long long position) {
  return Command{cmd::StepperStart, {invertedPosition(position)}};
}
Command maxSpeedOnGas(long long period) {
  return withWord(cmd::MaxSpeedOnGas, period);
}
Command maxSpeedOff() {
  return maxSpeedOnGas(1);
}
Command changeoverDelay(long long count) {
  return withWord(cmd::ChangeoverDelay, count);
}
Command fallingDelta(long long periodDifference) {
  return withWord(cmd::FallingDelta, periodDifference);
}
Command cutoffPosition(long long position) {
  return Command{cmd::CutoffPosition, {invertedPosition(position)}};
}
Command cutoffSpeed(long long period) {
  return withWord(cmd::CutoffSpeed, period);
}
Command powerOnDelay(long long count) {
  return withByte(cmd::PowerOnDelay, count);
}
Command lambda2Shape(long long highCount, long long periodCount) {
  return withShape(cmd::Lambda2Shape, highCount, periodCount);
}
Command accelerationSteps(long long steps) {
  return withByte(cmd::AccelerationSteps, steps);
}
Command idleStepperSpeed(long long code) {
  return withWord(cmd::IdleStepperSpeed, code);
}
Command lowGasSteps(long long steps) {
  return withByte(cmd::LowGasSteps, steps);
}
Command lambda1Range(long long range) {
  return withByte(cmd::Lambda1Range, range);
}
Command idlePeriodReference(long long period) {
  return withWord(cmd::IdlePeriodReference, period);
}
Command secondStepperSpeed(long long code) {
  return withWord(cmd::SecondStepperSpeed, code);
}

}  // namespace commands

void send(SerialTransport& link, const Command& command) {
  link.write(QByteArray(1, static_cast<char>(command.code)));
  for (std::uint8_t b : command.args)
    link.write(QByteArray(1, static_cast<char>(b)));
}

QString toHexText(const QByteArray& bytes) {
  QStringList parts;
  for (char c : bytes) {
    parts << QString::number(static_cast<unsigned char>(c), 16)
                     .rightJustified(2, QLatin1Char('0'))
                     .toUpper() +
                 QLatin1Char('h');
  }
  return parts.join(QLatin1Char(' '));
}

}  // namespace orvel
