#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace orvel {

class SerialTransport;

// The controller's command codes. Every exchange is a command byte and a fixed number of argument
// bytes; a reply is recognised only by the command that was sent last.
namespace cmd {
constexpr std::uint8_t Identify = 0x01;           // replies 03h, 01h
constexpr std::uint8_t LiveData = 0x02;           // replies the 8-byte live frame
constexpr std::uint8_t OpenValve = 0x03;          // steps
constexpr std::uint8_t CloseValve = 0x04;         // steps
constexpr std::uint8_t GasThreshold = 0x05;       // threshold
constexpr std::uint8_t Lambda1Shape = 0x06;       // TH LSB, MSB, period LSB, MSB
constexpr std::uint8_t TpsThreshold = 0x07;       // threshold
constexpr std::uint8_t ChangeoverSpeed = 0x08;    // period LSB, MSB
constexpr std::uint8_t ReadSettings = 0x09;       // replies the 37-byte settings block
constexpr std::uint8_t EndCommunication = 0x0A;   // not acknowledged
constexpr std::uint8_t InstallationFlags = 0x0B;  // flags byte
constexpr std::uint8_t ReadPeriod = 0x0C;         // replies LSB, MSB, 01h
constexpr std::uint8_t ReadStepper = 0x0D;        // replies position, 01h
constexpr std::uint8_t SetStepper = 0x0E;         // position
constexpr std::uint8_t LambdaThreshold = 0x0F;    // threshold
constexpr std::uint8_t EraseEeprom = 0x10;
constexpr std::uint8_t WriteEeprom = 0x11;
constexpr std::uint8_t StepperRange = 0x12;         // 255 - max, 255 - min
constexpr std::uint8_t StepperStart = 0x13;         // 255 - position
constexpr std::uint8_t MaxSpeedOnGas = 0x14;        // period LSB, MSB; 1 switches the limit off
constexpr std::uint8_t ChangeoverDelay = 0x15;      // count LSB, MSB
constexpr std::uint8_t FallingDelta = 0x16;         // period difference LSB, MSB
constexpr std::uint8_t CutoffPosition = 0x17;       // 255 - position
constexpr std::uint8_t CutoffSpeed = 0x18;          // period LSB, MSB
constexpr std::uint8_t PowerOnDelay = 0x19;         // count of 200 ms
constexpr std::uint8_t Lambda2Shape = 0x1A;         // TH LSB, MSB, period LSB, MSB
constexpr std::uint8_t AccelerationSteps = 0x1B;    // steps 2..50
constexpr std::uint8_t IdleStepperSpeed = 0x1C;     // code LSB, MSB
constexpr std::uint8_t LowGasSteps = 0x1D;          // steps 1..50
constexpr std::uint8_t Lambda1Range = 0x1E;         // 0 = 5 V, 1 = 1 V, 2 = 1.6 V
constexpr std::uint8_t IdlePeriodReference = 0x1F;  // period LSB, MSB
constexpr std::uint8_t SecondStepperSpeed = 0x20;   // code LSB, MSB
constexpr std::uint8_t StartCommunication = 0xAA;   // replies 01h, enters setting mode
}  // namespace cmd

// Reply lengths the program relies on.
constexpr int kLiveFrameLength = 8;
constexpr int kSettingsBlockLength = 37;

// The last byte of every reply the controller states, and the device number it gives to 01h.
constexpr std::uint8_t kAcknowledge = 0x01;
constexpr std::uint8_t kDeviceNumber = 0x03;

// How many bytes the controller answers to a command: 0 for 0Ah, which is not acknowledged;
// nothing for the commands whose reply is not stated (16h and later) or that do not exist.
std::optional<int> statedReplyLength(std::uint8_t code);

// One command with its argument bytes, exactly as they go on the line.
struct Command {
  std::uint8_t code = 0;
  std::vector<std::uint8_t> args;

  QByteArray bytes() const;
  bool operator==(const Command& other) const { return code == other.code && args == other.args; }
};

// Wire encodings. Values wider than their field are cut to their low 8 or 16 bits; 16-bit values
// go least significant byte first; stepper positions travel inverted (255 - position, i.e. the
// complement of the low 8 bits).
std::uint8_t lowByte(long long value);
std::uint8_t invertedPosition(long long position);
void appendWord(std::vector<std::uint8_t>& args, long long value);

// The catalogue. Arguments are raw controller values (see settings/Conversions.h for the unit
// conversions that produce them).
namespace commands {
Command startCommunication();
Command endCommunication();
Command identify();
Command liveData();
Command openValve(long long steps);
Command closeValve(long long steps);
Command gasThreshold(long long threshold);
Command lambda1Shape(long long highCount, long long periodCount);
Command tpsThreshold(long long raw);
Command changeoverSpeed(long long period);
Command readSettings();
Command installationFlags(std::uint8_t flags);
Command readPeriod();
Command readStepper();
Command setStepper(long long position);
Command lambdaThreshold(long long raw);
Command eraseEeprom();
Command writeEeprom();
Command stepperRange(long long maxPosition, long long minPosition);
Command stepperStart(long long position);
Command maxSpeedOnGas(long long period);  // period 1 switches the limit off
Command maxSpeedOff();
Command changeoverDelay(long long count);
Command fallingDelta(long long periodDifference);
Command cutoffPosition(long long position);
Command cutoffSpeed(long long period);
Command powerOnDelay(long long count);
Command lambda2Shape(long long highCount, long long periodCount);
Command accelerationSteps(long long steps);
Command idleStepperSpeed(long long code);
Command lowGasSteps(long long steps);
Command lambda1Range(long long range);
Command idlePeriodReference(long long period);
Command secondStepperSpeed(long long code);
}  // namespace commands

// Sends a command: the command byte, then each argument byte, each by its own write. Nothing is
// added before or after; a failing write ends the send with its error.
void send(SerialTransport& link, const Command& command);

// "06h 7Ah 00h" style text for logs, tests and messages.
QString toHexText(const QByteArray& bytes);

}  // namespace orvel
