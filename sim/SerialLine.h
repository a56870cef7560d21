// The simulator's end of the serial line: the master side of a fresh
// pseudo-terminal, or an existing serial device.
#pragma once

#include <string>

namespace orvel::sim {

class SerialLine {
 public:
  SerialLine() = default;
  ~SerialLine();
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;

  bool openPseudoTerminal(std::string* error);
  bool openDevice(const std::string& path, std::string* error);

  // Non-blocking descriptor to poll, read and write; -1 when closed.
  int fd() const { return fd_; }
  // The path the desktop program should open.
  const std::string& path() const { return path_; }

  // Drops the line: the peer sees a hang-up.
  void close();

 private:
  int fd_ = -1;
  // Our own handle on the pseudo-terminal's slave side. Holding it means the
  // master never sees a hang-up when the desktop program closes and reopens
  // the port, and the raw line settings are not reset in between.
  int slaveFd_ = -1;
  std::string path_;
};

}  // namespace orvel::sim
