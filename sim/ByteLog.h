// The traffic log: one line per byte, "<seconds> RX|TX <hex>", so that tests
// and benchmarks can see what the desktop program sent and when.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace orvel::sim {

std::string formatLogLine(double seconds, bool received, std::uint8_t byte);

class ByteLog {
 public:
  ByteLog() = default;
  ~ByteLog();
  ByteLog(const ByteLog&) = delete;
  ByteLog& operator=(const ByteLog&) = delete;

  bool open(const std::string& path, std::string* error);
  bool isOpen() const { return file_ != nullptr; }

  void record(double seconds, bool received, std::uint8_t byte);
  bool dirty() const { return dirty_; }
  void flush();
  void close();

 private:
  std::FILE* file_ = nullptr;
  bool dirty_ = false;
};

}  // namespace orvel::sim
