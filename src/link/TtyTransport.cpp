#include "link/TtyTransport.h"

#include "core/Registry.h"
#include "link/LinkError.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <utility>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace orvel {

namespace {

// A hang-up is believed when it is still there after this many looks, this far apart: a
// pseudo-terminal whose other side is being reopened, or a line glitch, is not a lost device.
constexpr int kHangupChecks = 3;
constexpr int kHangupCheckIntervalMs = 100;
// What a gathered reply waits beyond the line time of request and reply: the controller's turn
// and the timer's own millisecond.
constexpr std::chrono::milliseconds kGatherSlack{1};

bool isGoneErrno(int e) {
  return e == EIO || e == ENXIO || e == ENODEV || e == EBADF;
}

// Raw bytes at 9600 baud, 8 data bits, no parity (none checked, none replaced), 1 stop bit, no
// flow control in either direction, the modem lines ignored. A read returns what is there.
bool setLine(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CREAD | CLOCAL;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0) return false;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Asks the driver to hand received bytes over at once. A USB adapter otherwise holds them until
// its latency timer runs out (16 ms on common chips), which is longer than a live frame's turn.
// Devices without the request (a pseudo-terminal) or refusing it are used as they are.
// Tells in *changed whether this call set the flag.
void askLowLatency(int fd, bool on, bool* changed) {
  if (changed) *changed = false;
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  if (((serial.flags & ASYNC_LOW_LATENCY) != 0) == on) return;
  serial.flags = on ? serial.flags | ASYNC_LOW_LATENCY : serial.flags & ~ASYNC_LOW_LATENCY;
  if (::ioctl(fd, TIOCSSERIAL, &serial) == 0 && changed) *changed = true;
}

}  // namespace

int deviceGoneErrno(int fd, bool* hungUp) {
  if (hungUp) *hungUp = false;
  if (fd < 0) return EBADF;
  // A device that was unplugged or hung up refuses its ioctls; one that is merely quiet answers.
  int waiting = 0;
  if (::ioctl(fd, TIOCINQ, &waiting) != 0 && isGoneErrno(errno)) return errno;
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 0) < 0) return errno == EINTR ? 0 : errno;
  if (p.revents & POLLNVAL) return EBADF;
  if (hungUp) *hungUp = (p.revents & (POLLHUP | POLLERR)) != 0;
  return 0;
}

QString deviceLockPath(const QString& devicePath) {
  const QString canonical = QFileInfo(devicePath).canonicalFilePath();
  QString name = canonical.isEmpty() ? devicePath : canonical;
  if (name.startsWith(QLatin1String("/dev/"))) name = name.mid(5);
  name = QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
  static const QStringList folders{QStringLiteral("/var/lock"),
                                   QStringLiteral("/etc/locks"),
                                   QStringLiteral("/var/spool/locks"),
                                   QStringLiteral("/var/spool/uucp"),
                                   QStringLiteral("/tmp"),
                                   QStringLiteral("/var/tmp"),
                                   QStringLiteral("/var/lock/lockdev"),
                                   QStringLiteral("/run/lock")};
  for (const QString& folder : folders) {
    const QFileInfo dir(folder);
    const QString path = folder + QLatin1Char('/') + name;
    if (dir.isDir() && dir.isReadable() && (QFile::exists(path) || dir.isWritable())) return path;
  }
  return QString();
}

TtyTransport::TtyTransport(QObject* parent)
    : QObject(parent), resolve_(&Registry::devicePathForPort) {
  hangupCheck_.setInterval(kHangupCheckIntervalMs);
  hangupCheck_.setSingleShot(true);
  connect(&hangupCheck_, &QTimer::timeout, this, &TtyTransport::checkDevice);
  gatherEnd_.setSingleShot(true);
  gatherEnd_.setTimerType(Qt::PreciseTimer);
  connect(&gatherEnd_, &QTimer::timeout, this, &TtyTransport::endGathering);
}

TtyTransport::~TtyTransport() {
  // The port is closed when the program ends; nothing can be reported any more.
  if (fd_ >= 0) ::ioctl(fd_, TIOCNXCL);
  release();
}

void TtyTransport::openDevice(const QString& portName) {
  devicePath_ = resolve_(portName);
  // Programs that honour lock files see the port taken before it is even opened.
  std::unique_ptr<QLockFile> lock;
  const QString lockPath = deviceLockPath(devicePath_);
  if (!lockPath.isEmpty()) {
    lock = std::make_unique<QLockFile>(lockPath);
    if (!lock->tryLock(0)) {
      throw LinkError(LinkFailure::Open,
                      lock->error() == QLockFile::LockFailedError ? EBUSY : EACCES);
    }
  }
  const int fd = ::open(QFile::encodeName(devicePath_).constData(),
                        O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw LinkError(LinkFailure::Open, errno);
  bool exclusiveOurs = false;
  const auto refuse = [fd, &exclusiveOurs](LinkFailure failure, int error) {
    // The flag stays with the terminal while others hold it open; it is given back here.
    if (exclusiveOurs) ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    return LinkError(failure, error);
  };
  termios probe{};
  if (::tcgetattr(fd, &probe) != 0) throw refuse(LinkFailure::Open, errno);  // not a terminal
  // TIOCEXCL keeps out the programs that take no lock file (a terminal program, a second copy of
  // a tool): their open fails with EBUSY while the port is held. Root is let through by the
  // kernel and sees the flag instead.
  int exclusive = 0;
  if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive) throw refuse(LinkFailure::Open, EBUSY);
  exclusiveOurs = ::ioctl(fd, TIOCEXCL) == 0;
  if (!setLine(fd)) throw refuse(LinkFailure::LineSettings, errno);
  // The controller must see DTR and RTS inactive. Pseudo-terminals and some adapters have no
  // modem lines; that is no reason to refuse the port.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd, TIOCMBIC, &lines);
  askLowLatency(fd, true, &lowLatencyOurs_);
  // Whatever a previous user of the device left in its queues is not ours.
  ::tcflush(fd, TCIOFLUSH);

  fd_ = fd;
  lock_ = std::move(lock);
  notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TtyTransport::onReadable);
  received_.clear();
  pending_ = false;
  checking_ = false;
  hangupChecks_ = 0;
  cleanLooks_ = 0;
  replyLength_ = 0;
}

void TtyTransport::closeDevice() {
  pending_ = false;
  hangupCheck_.stop();
  stopGathering();
  const bool purged = ::tcflush(fd_, TCIOFLUSH) == 0;
  const int err = purged ? 0 : errno;
  ::ioctl(fd_, TIOCNXCL);
  release();
  if (!purged) throw LinkError(LinkFailure::Purge, err);
}

void TtyTransport::release() {
  gatherEnd_.stop();
  gathering_ = false;
  checking_ = false;
  if (notifier_) {
    notifier_->setEnabled(false);
    // Released from inside its own signal when the device went away under a read.
    notifier_->deleteLater();
    notifier_ = nullptr;
  }
  // The adapter is left as it was found for the next program.
  if (fd_ >= 0 && lowLatencyOurs_) askLowLatency(fd_, false, nullptr);
  lowLatencyOurs_ = false;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  received_.clear();
  lock_.reset();
}

void TtyTransport::watch() {
  if (notifier_) notifier_->setEnabled(fd_ >= 0 && !gathering_ && !checking_);
}

TtyTransport::Fill TtyTransport::fill() {
  Fill result = Fill::Nothing;
  char chunk[512];
  for (;;) {
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n > 0) {
      received_.append(chunk, static_cast<int>(n));
      result = Fill::Bytes;
      cleanLooks_ = 0;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return result;
    // An end of file (a hung-up terminal) or an error: the device needs a look.
    return Fill::Trouble;
  }
}

void TtyTransport::lookAtDevice() {
  if (checking_) return;
  checking_ = true;
  hangupChecks_ = 0;
  watch();
  // Not from inside the notifier's own signal: the look may close the port. A read that keeps
  // failing on a device that is there is looked at ten times a second, not in a busy loop.
  hangupCheck_.start(cleanLooks_ > 0 ? kHangupCheckIntervalMs : 0);
}

void TtyTransport::onReadable() {
  if (fd_ < 0 || !isConnected()) return;
  const Fill got = fill();
  if (got == Fill::Trouble) lookAtDevice();
  if (got == Fill::Nothing) ++spuriousErrors_;
  if (received_.isEmpty()) return;
  if (delivering_ || writing_ || gathering_) {
    pending_ = true;
  } else {
    deliver();
  }
}

void TtyTransport::scheduleDelivery() {
  if (deliveryQueued_) return;
  deliveryQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    deliveryQueued_ = false;
    if (!delivering_ && !writing_) deliver();
  });
}

void TtyTransport::deliver() {
  if (!isConnected() || fd_ < 0) return;
  if (gathering_) {
    pending_ = true;
    return;
  }
  if (received_.isEmpty()) return;
  pending_ = false;
  delivering_ = true;
  notifyReceived(static_cast<int>(received_.size()));
  delivering_ = false;
  if (isConnected() && fd_ >= 0 && pending_) scheduleDelivery();
}

void TtyTransport::writeDevice(const QByteArray& bytes) {
  const int replyLength = std::exchange(replyLength_, 0);
  writing_ = true;
  struct Reset {
    TtyTransport* self;
    ~Reset() {
      self->writing_ = false;
      if (self->pending_) self->scheduleDelivery();
    }
  } reset{this};
  // A gather still running belongs to an earlier request: what it holds is notified after this
  // write.
  endGathering();

  // The write timeout of the line: one second per byte plus one second.
  const QDeadlineTimer deadline(1000 * static_cast<qint64>(bytes.size()) + 1000);
  const char* next = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, next, static_cast<std::size_t>(left));
    if (n > 0) {
      next += n;
      left -= n;
      continue;
    }
    const int err = n < 0 ? errno : EIO;
    if (err == EINTR) continue;
    if (err != EAGAIN && err != EWOULDBLOCK) {
      // A device that is gone closes the link here, and this write's error is the one report.
      if (isGoneErrno(err)) closeLostPort();
      throw LinkError(LinkFailure::Write, err);
    }
    // The driver's queue is full: wait for room, as long as the write timeout allows.
    const int gone = deviceGoneErrno(fd_, nullptr);
    if (gone != 0) {
      closeLostPort();
      throw LinkError(LinkFailure::Write, gone);
    }
    const qint64 remaining = deadline.remainingTime();
    if (remaining <= 0) throw LinkError(LinkFailure::Write, ETIMEDOUT);
    pollfd p{fd_, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(qMin<qint64>(remaining, 50)));
  }
  if (replyLength > 0) startGathering(static_cast<int>(bytes.size()) + replyLength);
}

QByteArray TtyTransport::readDevice(int count) {
  if (received_.size() < count && fd_ >= 0 && !gathering_ && !checking_) {
    if (fill() == Fill::Trouble) lookAtDevice();
  }
  QByteArray out = received_.left(count);
  received_.remove(0, out.size());
  return out;
}

void TtyTransport::discardDevice() {
  // What a gather held is thrown away with the rest; the next request starts its own.
  stopGathering();
  received_.clear();
  pending_ = false;
  ::tcflush(fd_, TCIFLUSH);
  watch();
}

void TtyTransport::expectReplyDevice(int length) {
  replyLength_ = length;
}

void TtyTransport::collectDevice() {
  if (delivering_ || fd_ < 0) return;
  if (gathering_) {
    endGathering();
    return;
  }
  if (!checking_ && fill() == Fill::Trouble) lookAtDevice();
  if (!writing_) deliver();
}

void TtyTransport::startGathering(int lineBytes) {
  if (fd_ < 0) return;
  gathering_ = true;
  watch();
  gatherEnd_.start(std::chrono::ceil<std::chrono::milliseconds>(lineBytes * kCharacterTime) +
                   kGatherSlack);
}

void TtyTransport::stopGathering() {
  gatherEnd_.stop();
  gathering_ = false;
}

void TtyTransport::endGathering() {
  if (!gathering_) return;
  stopGathering();
  if (!isConnected() || fd_ < 0) return;
  if (!checking_ && fill() == Fill::Trouble) lookAtDevice();
  watch();
  if (received_.isEmpty()) return;
  if (delivering_ || writing_) {
    pending_ = true;
  } else {
    deliver();
  }
}

void TtyTransport::checkDevice() {
  if (!isConnected() || fd_ < 0) return;
  bool hungUp = false;
  const int gone = deviceGoneErrno(fd_, &hungUp);
  if (gone != 0) {
    dropLostDevice(gone);
    return;
  }
  if (hungUp) {
    if (++hangupChecks_ >= kHangupChecks) {
      dropLostDevice(EIO);
    } else {
      hangupCheck_.start(kHangupCheckIntervalMs);
    }
    return;
  }
  // Nothing wrong with the device: the report was about a read that found nothing. What came
  // meanwhile wakes the program as soon as it is watched again.
  ++spuriousErrors_;
  ++cleanLooks_;
  hangupChecks_ = 0;
  checking_ = false;
  watch();
}

void TtyTransport::closeLostPort() {
  pending_ = false;
  hangupCheck_.stop();
  if (fd_ >= 0) ::ioctl(fd_, TIOCNXCL);
  release();
  markClosed();
}

void TtyTransport::dropLostDevice(int osError) {
  if (!isConnected()) return;
  closeLostPort();
  deviceLost(LinkError(LinkFailure::Read, osError).text());
}

}  // namespace orvel
