#include "sim/SerialLine.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvel::sim {

namespace {

std::string errnoText(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool makeRaw9600(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0) return false;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

SerialLine::~SerialLine() {
  close();
}

bool SerialLine::openPseudoTerminal(std::string* error) {
  close();
  fd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (fd_ < 0) {
    *error = errnoText("cannot create a pseudo-terminal");
    return false;
  }
  char name[128] = {};
  if (::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0 || ::ptsname_r(fd_, name, sizeof name) != 0) {
    *error = errnoText("cannot prepare the pseudo-terminal");
    close();
    return false;
  }
  path_ = name;
  slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveFd_ < 0) {
    *error = errnoText("cannot open " + path_);
    close();
    return false;
  }
  if (!makeRaw9600(slaveFd_)) {
    *error = errnoText("cannot set raw mode on " + path_);
    close();
    return false;
  }
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0 ||
      ::fcntl(fd_, F_SETFD, FD_CLOEXEC) != 0) {
    *error = errnoText("cannot configure the pseudo-terminal");
    close();
    return false;
  }
  return true;
}

bool SerialLine::openDevice(const std::string& path, std::string* error) {
  close();
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    *error = errnoText("cannot open " + path);
    return false;
  }
  if (!::isatty(fd_) || !makeRaw9600(fd_)) {
    *error = errnoText("cannot set 9600 8N1 raw mode on " + path);
    close();
    return false;
  }
  ::tcflush(fd_, TCIOFLUSH);
  path_ = path;
  return true;
}

void SerialLine::close() {
  if (slaveFd_ >= 0) ::close(slaveFd_);
  if (fd_ >= 0) ::close(fd_);
  slaveFd_ = -1;
  fd_ = -1;
}

}  // namespace orvel::sim
