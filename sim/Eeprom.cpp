#include "sim/Eeprom.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace orvel::sim {

namespace {

constexpr char kHeader[] = "orvel-sim eeprom 1";

// CRC-16/CCITT-FALSE.
std::uint16_t crc16(const SettingsBlock& block) {
  std::uint16_t crc = 0xFFFF;
  for (std::uint8_t byte : block) {
    crc = static_cast<std::uint16_t>(crc ^ (byte << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<unsigned> parseHex(const std::string& token, std::size_t digits) {
  if (token.size() != digits) return std::nullopt;
  unsigned value = 0;
  for (char c : token) {
    const int d = hexDigit(c);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(d);
  }
  return value;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string errnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool writeAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string encodeEepromImage(const SettingsBlock& block) {
  std::string text = kHeader;
  text += '\n';
  char buf[8];
  for (std::size_t i = 0; i < block.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%s%02X", i == 0 ? "" : " ", block[i]);
    text += buf;
  }
  std::snprintf(buf, sizeof buf, "%04X", crc16(block));
  text += "\ncrc ";
  text += buf;
  text += '\n';
  return text;
}

std::optional<SettingsBlock> decodeEepromImage(const std::string& text) {
  const std::vector<std::string> lines = splitLines(text);
  if (lines.size() != 3 || lines[0] != kHeader) return std::nullopt;

  SettingsBlock block{};
  std::istringstream bytes(lines[1]);
  std::string token;
  std::size_t count = 0;
  while (bytes >> token) {
    const auto value = parseHex(token, 2);
    if (!value || count == block.size()) return std::nullopt;
    block[count++] = static_cast<std::uint8_t>(*value);
  }
  if (count != block.size()) return std::nullopt;

  if (lines[2].compare(0, 4, "crc ") != 0) return std::nullopt;
  const auto crc = parseHex(lines[2].substr(4), 4);
  if (!crc || *crc != crc16(block)) return std::nullopt;
  return block;
}

Eeprom::Eeprom(std::string path, int idlePeriod)
    : path_(std::move(path)), idlePeriod_(idlePeriod) {}

Eeprom::Loaded Eeprom::load() const {
  Loaded result;
  result.block = factoryDefaults(idlePeriod_);
  if (path_.empty()) {
    if (memory_) {
      result.block = *memory_;
      result.fromStore = true;
    } else {
      result.note = "no stored settings";
    }
    return result;
  }

  std::ifstream in(path_, std::ios::binary);
  if (!in) {
    result.note = "no stored settings in " + path_;
    return result;
  }
  // A valid image is about 150 bytes; do not slurp an arbitrary large file.
  std::string text(512, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  const auto block =
      in.peek() == std::ifstream::traits_type::eof() ? decodeEepromImage(text) : std::nullopt;
  if (!block) {
    result.note = "stored settings in " + path_ + " are damaged";
    return result;
  }
  result.block = *block;
  result.fromStore = true;
  return result;
}

bool Eeprom::write(const SettingsBlock& block, std::string* error) {
  if (path_.empty()) {
    memory_ = block;
    return true;
  }
  std::string tmpl = path_ + ".XXXXXX";
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) {
    if (error) *error = errnoText("cannot create a temporary file for", path_);
    return false;
  }
  const bool ok =
      ::fchmod(fd, 0644) == 0 && writeAll(fd, encodeEepromImage(block)) && ::fsync(fd) == 0;
  if (error && !ok) *error = errnoText("cannot write", tmpl);
  const bool closed = ::close(fd) == 0;
  if (ok && !closed && error) *error = errnoText("cannot write", tmpl);
  if (!ok || !closed) {
    ::unlink(tmpl.c_str());
    return false;
  }
  if (::rename(tmpl.c_str(), path_.c_str()) != 0) {
    if (error) *error = errnoText("cannot replace", path_);
    ::unlink(tmpl.c_str());
    return false;
  }
  return true;
}

bool Eeprom::erase(std::string* error) {
  memory_.reset();
  if (path_.empty()) return true;
  if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
    if (error) *error = errnoText("cannot erase", path_);
    return false;
  }
  return true;
}

}  // namespace orvel::sim
