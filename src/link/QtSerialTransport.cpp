#include "link/QtSerialTransport.h"

#include "core/Dialogs.h"
#include "core/Registry.h"
#include "link/LinkError.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <utility>

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

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

}  // namespace

int errnoFromSerialPortError(QSerialPort::SerialPortError error, const QString& errorString) {
  if (error == QSerialPort::PermissionError &&
      errorString.contains(QLatin1String("locking"), Qt::CaseInsensitive)) {
    return EBUSY;
  }
  for (int e = 1; e < 200; ++e) {
    if (qt_error_string(e) == errorString) return e;
  }
  switch (error) {
    case QSerialPort::DeviceNotFoundError:
      return ENOENT;
    case QSerialPort::PermissionError:
      return EACCES;
    case QSerialPort::OpenError:
      return EBUSY;
    case QSerialPort::UnsupportedOperationError:
      return ENOTTY;
    case QSerialPort::TimeoutError:
      return ETIMEDOUT;
    case QSerialPort::NotOpenError:
      return EBADF;
    default:
      return EIO;
  }
}

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

QtSerialTransport::QtSerialTransport(QObject* parent)
    : QObject(parent), resolve_(&Registry::devicePathForPort) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialTransport::onReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialTransport::onPortError);
  hangupCheck_.setInterval(kHangupCheckIntervalMs);
  hangupCheck_.setSingleShot(true);
  connect(&hangupCheck_, &QTimer::timeout, this, &QtSerialTransport::checkDevice);
  gatherEnd_.setSingleShot(true);
  gatherEnd_.setTimerType(Qt::PreciseTimer);
  connect(&gatherEnd_, &QTimer::timeout, this, &QtSerialTransport::endGathering);
}

QtSerialTransport::~QtSerialTransport() {
  // The port is closed when the program ends; nothing can be reported any more.
  if (port_.isOpen()) port_.close();
}

int QtSerialTransport::lastErrno() const {
  return errnoFromSerialPortError(port_.error(), port_.errorString());
}

void QtSerialTransport::openDevice(const QString& portName) {
  devicePath_ = resolve_(portName);
  port_.setPortName(devicePath_);
  port_.clearError();
  if (!port_.open(QIODevice::ReadWrite)) {
    const int err = lastErrno();
    port_.close();
    throw LinkError(LinkFailure::Open, err);
  }
  // QSerialPort's lock file keeps out programs that honour lock files; TIOCEXCL keeps out the
  // rest (a terminal program, a second copy of a tool that takes no lock): their open fails with
  // EBUSY while we hold the port.
  ::ioctl(port_.handle(), TIOCEXCL);
  const bool lineOk =
      port_.setBaudRate(QSerialPort::Baud9600) && port_.setDataBits(QSerialPort::Data8) &&
      port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop) &&
      port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!lineOk) {
    const int err = lastErrno();
    port_.close();
    throw LinkError(LinkFailure::LineSettings, err);
  }
  // The controller must see DTR and RTS inactive. Pseudo-terminals and some adapters have no
  // modem lines; that is no reason to refuse the port.
  port_.setDataTerminalReady(false);
  port_.setRequestToSend(false);
  port_.clearError();
  // Whatever a previous user of the device left in its queues is not ours.
  port_.clear(QSerialPort::AllDirections);
  port_.clearError();
  pending_ = false;
  hangupChecks_ = 0;
  replyLength_ = 0;
}

void QtSerialTransport::closeDevice() {
  pending_ = false;
  hangupCheck_.stop();
  stopGathering();
  const bool purged = port_.clear(QSerialPort::AllDirections);
  const int err = purged ? 0 : lastErrno();
  if (port_.isOpen()) ::ioctl(port_.handle(), TIOCNXCL);
  port_.close();
  port_.clearError();
  if (!purged) throw LinkError(LinkFailure::Purge, err);
}

void QtSerialTransport::writeDevice(const QByteArray& bytes) {
  const int replyLength = std::exchange(replyLength_, 0);
  writing_ = true;
  struct Reset {
    QtSerialTransport* self;
    ~Reset() {
      self->writing_ = false;
      if (self->pending_) self->scheduleDelivery();
    }
  } reset{this};
  // A gather still running belongs to an earlier request: what it holds is notified after this
  // write.
  endGathering();

  forgetError();
  if (port_.write(bytes) != bytes.size()) throw LinkError(LinkFailure::Write, lastErrno());
  // The write timeout of the line: one second per byte plus one second. The bytes are pushed
  // out with flush() and the wait is a poll for room to write, never waitForBytesWritten(): that
  // one also reads what arrived meanwhile, which leaves the port's read notification to find
  // nothing and report it as a read error.
  const QDeadlineTimer deadline(1000 * static_cast<qint64>(bytes.size()) + 1000);
  while (port_.bytesToWrite() > 0) {
    port_.flush();
    if (port_.bytesToWrite() == 0) break;
    bool hungUp = false;
    const int gone = deviceGoneErrno(port_.handle(), &hungUp);
    if (gone != 0) {
      // The device is gone: the link closes here and this write's error is the one report.
      closeLostPort();
      throw LinkError(LinkFailure::Write, gone);
    }
    const qint64 left = deadline.remainingTime();
    if (left <= 0) throw LinkError(LinkFailure::Write, ETIMEDOUT);
    pollfd p{port_.handle(), POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(qMin<qint64>(left, 50)));
  }
  if (replyLength > 0) startGathering(static_cast<int>(bytes.size()) + replyLength);
}

QByteArray QtSerialTransport::readDevice(int count) {
  forgetError();
  QByteArray bytes = port_.read(count);
  if (bytes.isEmpty() && count > 0 &&
      (port_.error() == QSerialPort::ReadError || port_.error() == QSerialPort::ResourceError)) {
    const int gone = deviceGoneErrno(port_.handle(), nullptr);
    if (gone != 0) dropLostDevice(gone);
  }
  return bytes;
}

void QtSerialTransport::discardDevice() {
  // Both Qt's buffer and the driver's queue, always: bytes the driver has taken in but not yet
  // counted as readable go too, which a look at the count first would miss. A purge that fails
  // leaves bytes that the reply window then drops.
  port_.clear(QSerialPort::Input);
  forgetError();
}

void QtSerialTransport::expectReplyDevice(int length) {
  replyLength_ = length;
}

void QtSerialTransport::startGathering(int lineBytes) {
  if (!port_.isOpen()) return;
  gathering_ = true;
  // A full one-byte buffer is QSerialPort's own reason to stop reading, and giving the buffer
  // back its size is its own way to start again. Its notifier is switched off here as well, so
  // that not even the first byte wakes the program; where that notifier cannot be found the
  // buffer alone stops reading after the first byte or two.
  port_.setReadBufferSize(1);
  if (QSocketNotifier* reader = readNotifier()) reader->setEnabled(false);
  gatherEnd_.start(std::chrono::ceil<std::chrono::milliseconds>(lineBytes * kCharacterTime) +
                   kGatherSlack);
}

QSocketNotifier* QtSerialTransport::readNotifier() const {
  for (QSocketNotifier* n : port_.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly)) {
    if (n->type() == QSocketNotifier::Read && n->socket() == port_.handle()) return n;
  }
  return nullptr;
}

void QtSerialTransport::stopGathering() {
  gatherEnd_.stop();
  if (!gathering_) return;
  gathering_ = false;
  port_.setReadBufferSize(0);
}

void QtSerialTransport::endGathering() {
  if (!gathering_) return;
  gatherEnd_.stop();
  port_.setReadBufferSize(0);
  // QSerialPort holds at most the first byte; the driver holds the rest. Taking them in before
  // the gather ends notifies the reply once instead of its first byte and then the others.
  int waiting = 0;
  if (isConnected() && port_.isOpen() && ::ioctl(port_.handle(), FIONREAD, &waiting) == 0 &&
      waiting > 0) {
    port_.waitForReadyRead(0);
    forgetError();
  }
  gathering_ = false;
  if (!isConnected() || !port_.isOpen() || port_.bytesAvailable() <= 0) return;
  if (delivering_ || writing_) {
    pending_ = true;
  } else {
    deliver();
  }
}

void QtSerialTransport::forgetError() {
  // Clearing an error that is not there still emits errorOccurred; the live loop reads and
  // writes fifty times a second.
  if (port_.error() != QSerialPort::NoError) port_.clearError();
}

void QtSerialTransport::onReadyRead() {
  if (delivering_ || writing_ || gathering_) {
    pending_ = true;
    return;
  }
  deliver();
}

void QtSerialTransport::scheduleDelivery() {
  if (deliveryQueued_) return;
  deliveryQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    deliveryQueued_ = false;
    if (!delivering_ && !writing_) deliver();
  });
}

void QtSerialTransport::deliver() {
  if (!isConnected() || !port_.isOpen()) return;
  if (gathering_) {
    pending_ = true;
    return;
  }
  const qint64 waiting = port_.bytesAvailable();
  if (waiting <= 0) return;
  pending_ = false;
  delivering_ = true;
  notifyReceived(static_cast<int>(qMin<qint64>(waiting, 1 << 20)));
  delivering_ = false;
  if (isConnected() && port_.isOpen() && (pending_ || port_.bytesAvailable() > 0)) {
    scheduleDelivery();
  }
}

void QtSerialTransport::onPortError(QSerialPort::SerialPortError error) {
  // Looked at outside QSerialPort's own signal, once per burst of reports.
  const bool suspicious = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                          error == QSerialPort::WriteError;
  if (suspicious && isConnected() && !checkQueued_) {
    checkQueued_ = true;
    QTimer::singleShot(0, this, [this] {
      checkQueued_ = false;
      hangupChecks_ = 0;
      checkDevice();
    });
  }
}

void QtSerialTransport::checkDevice() {
  if (!isConnected() || !port_.isOpen()) return;
  bool hungUp = false;
  const int gone = deviceGoneErrno(port_.handle(), &hungUp);
  if (gone != 0) {
    dropLostDevice(gone);
    return;
  }
  if (hungUp) {
    if (++hangupChecks_ >= kHangupChecks) {
      dropLostDevice(EIO);
    } else {
      hangupCheck_.start();
    }
    return;
  }
  // Nothing wrong with the device: the report was about a read that found nothing.
  ++spuriousErrors_;
  hangupChecks_ = 0;
  port_.clearError();
  resumeReading();
}

void QtSerialTransport::resumeReading() {
  // A ResourceError switches QSerialPort's read notification off; a read that finds its buffer
  // empty switches it on again. With bytes buffered they are simply delivered.
  if (port_.bytesAvailable() > 0) {
    scheduleDelivery();
    return;
  }
  char none = 0;
  port_.read(&none, 1);
  port_.clearError();
  if (port_.bytesAvailable() > 0) scheduleDelivery();
}

void QtSerialTransport::closeLostPort() {
  pending_ = false;
  hangupCheck_.stop();
  stopGathering();
  port_.close();
  port_.clearError();
  markClosed();
}

void QtSerialTransport::dropLostDevice(int osError) {
  if (!isConnected()) return;
  closeLostPort();
  deviceLost(LinkError(LinkFailure::Read, osError).text());
}

}  // namespace orvel
