#include "support/PseudoTerminal.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace orvel::test {

PseudoTerminal::PseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    ::close(master_);
    master_ = -1;
    return;
  }
  path_ = QString::fromLocal8Bit(ptsname(master_));
  spareSlave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
  termios t{};
  if (spareSlave_ >= 0 && tcgetattr(spareSlave_, &t) == 0) {
    cfmakeraw(&t);
    tcsetattr(spareSlave_, TCSANOW, &t);
  }
}

PseudoTerminal::~PseudoTerminal() {
  hangUp();
}

void PseudoTerminal::write(const QByteArray& bytes) {
  const char* p = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0 && master_ >= 0) {
    const ssize_t n = ::write(master_, p, static_cast<size_t>(left));
    if (n <= 0) break;
    p += n;
    left -= n;
  }
}

QByteArray PseudoTerminal::read(int expected, int timeoutMs) {
  QByteArray out;
  QElapsedTimer clock;
  clock.start();
  while (master_ >= 0 && out.size() < expected) {
    const qint64 left = timeoutMs - clock.elapsed();
    if (left <= 0) break;
    pollfd pfd{master_, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
    char buf[256];
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<int>(n));
  }
  return out;
}

QByteArray PseudoTerminal::stealFromSlave() {
  QByteArray out;
  pollfd pfd{spareSlave_, POLLIN, 0};
  while (spareSlave_ >= 0 && ::poll(&pfd, 1, 50) > 0 && (pfd.revents & POLLIN)) {
    char buf[256];
    const ssize_t n = ::read(spareSlave_, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<int>(n));
  }
  return out;
}

void PseudoTerminal::hangUp() {
  if (spareSlave_ >= 0) ::close(spareSlave_);
  if (master_ >= 0) ::close(master_);
  spareSlave_ = -1;
  master_ = -1;
}

}  // namespace orvel::test
