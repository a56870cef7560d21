// The controller's EEPROM, kept in a small text file so that settings written
// by the desktop program survive a restart of the simulator.
#pragma once

#include <optional>
#include <string>

#include "sim/SettingsBlock.h"

namespace orvel::sim {

// File image: a header line, the 36 bytes as hex on one line, and a CRC line.
std::string encodeEepromImage(const SettingsBlock& block);
// Rejects anything that is not exactly what encodeEepromImage produces (apart
// from line endings), so a truncated or damaged file is never half-loaded.
std::optional<SettingsBlock> decodeEepromImage(const std::string& text);

class Eeprom {
 public:
  // An empty path keeps the stored copy in memory only, for the life of the process.
  explicit Eeprom(std::string path = {}, int idlePeriod = kDefaultIdlePeriod);

  struct Loaded {
    SettingsBlock block;
    bool fromStore = false;
    std::string note;  // why the factory defaults were used, if they were
  };
  // The stored copy if there is a valid one, else the factory defaults.
  Loaded load() const;

  // Replaces the stored copy; the file is written to a temporary name and
  // renamed, so a reader never sees a partial file.
  bool write(const SettingsBlock& block, std::string* error);
  // Forgets the stored copy; the next load gives the factory defaults.
  bool erase(std::string* error);

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int idlePeriod_;
  std::optional<SettingsBlock> memory_;
};

}  // namespace orvel::sim
