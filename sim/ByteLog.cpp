#include "sim/ByteLog.h"

#include <cerrno>
#include <cstring>

namespace orvel::sim {

std::string formatLogLine(double seconds, bool received, std::uint8_t byte) {
  char line[48];
  std::snprintf(line, sizeof line, "%.6f %s %02X\n", seconds, received ? "RX" : "TX", byte);
  return line;
}

ByteLog::~ByteLog() {
  close();
}

bool ByteLog::open(const std::string& path, std::string* error) {
  close();
  file_ = std::fopen(path.c_str(), "w");
  if (!file_) {
    if (error) *error = "cannot open log " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void ByteLog::record(double seconds, bool received, std::uint8_t byte) {
  if (!file_) return;
  std::fputs(formatLogLine(seconds, received, byte).c_str(), file_);
  dirty_ = true;
}

void ByteLog::flush() {
  if (file_ && dirty_) std::fflush(file_);
  dirty_ = false;
}

void ByteLog::close() {
  if (!file_) return;
  std::fclose(file_);
  file_ = nullptr;
  dirty_ = false;
}

}  // namespace orvel::sim
