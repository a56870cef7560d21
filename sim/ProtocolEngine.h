// The simulated controller as seen from the serial line: received bytes (with
// their arrival times) go in, reply bytes come out. No I/O happens here apart
// from the EEPROM file, so the whole protocol can be driven from tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/ControlCommand.h"
#include "sim/Eeprom.h"
#include "sim/EngineModel.h"
#include "sim/SettingsBlock.h"

namespace orvel::sim {

// Misbehaviours that the desktop program must survive.
struct Faults {
  bool silent = false;        // commands are still carried out, nothing is sent
  int shortLength = -1;       // >= 0: only the first N bytes of each reply are sent
  bool strayEach = false;     // a stray byte before every reply
  bool strayOnce = false;     // a stray byte before the next reply only
  bool uncalibrated = false;  // idle period reference reads 0101h until 1Fh sets it
};

// Sent ahead of a reply by the stray-byte fault.
constexpr std::uint8_t kStrayByte = 0xFF;

// A partial command is abandoned when its next byte is this late (seconds).
constexpr double kResyncGap = 0.100;

class ProtocolEngine {
 public:
  struct Config {
    std::string statePath;  // empty: EEPROM lives in memory only
    std::uint64_t seed = 1;
    int idlePeriod = kDefaultIdlePeriod;
    SteadyState steady = SteadyState::Off;
    Wander wander = Wander::Off;
    bool revCycle = false;  // periodic revving from the start
    Faults faults;
  };

  explicit ProtocolEngine(const Config& config);

  // One byte from the line at time t (seconds); returns what the controller sends back.
  std::vector<std::uint8_t> receive(std::uint8_t byte, double t);
  std::vector<std::uint8_t> receive(const std::vector<std::uint8_t>& bytes, double t);

  // Applies a run-time switch; hangup and quit are for the caller and are ignored here.
  void control(const ControlCommand& command, double t);
  // Holds the engine steady at idle or at 3000 rpm, or lets the model run again.
  void setSteady(SteadyState state, double t);
  // A real engine's variation frame by frame: holds the engine steady at 3000 rpm for the TPS
  // modes, at idle for the period modes, where it is for the valve; Off leaves it plainly steady.
  void setWander(Wander mode, double t);

  // Settings as 09h would report them now (with the uncalibrated overlay).
  SettingsBlock settings() const;
  bool inSettingMode() const { return settingMode_; }
  bool loadedFromStore() const { return loadedFromStore_; }

  Faults& faults() { return faults_; }
  EngineModel& engine() { return engine_; }

  // Messages worth showing to whoever runs the simulator (EEPROM results, start-up source).
  void setNoticeHandler(std::function<void(const std::string&)> handler);

 private:
  struct Command;
  static const Command* find(std::uint8_t code);

  std::vector<std::uint8_t> execute(const Command& command, double t);
  std::vector<std::uint8_t> applyFaults(std::vector<std::uint8_t> reply);
  void notice(const std::string& text);

  Eeprom eeprom_;
  EngineModel engine_;
  SettingsBlock block_{};
  Faults faults_;
  bool settingMode_ = false;
  bool loadedFromStore_ = false;
  std::string loadNote_;

  const Command* pending_ = nullptr;
  std::vector<std::uint8_t> args_;
  double lastByteTime_ = 0.0;

  std::function<void(const std::string&)> noticeHandler_;
};

}  // namespace orvel::sim
