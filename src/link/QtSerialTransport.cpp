#include "link/QtSerialTransport.h"

#include "core/Dialogs.h"
#include "core/Registry.h"
#include "link/LinkError.h"

#include <QTimer>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace orvel {

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

QtSerialTransport::QtSerialTransport(QObject* parent)
    : QObject(parent), resolve_(&Registry::devicePathForPort) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialTransport::onReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialTransport::onPortError);
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
}

void QtSerialTransport::closeDevice() {
  pending_ = false;
  const bool purged = port_.clear(QSerialPort::AllDirections);
  const int err = purged ? 0 : lastErrno();
  port_.close();
  port_.clearError();
  if (!purged) throw LinkError(LinkFailure::Purge, err);
}

void QtSerialTransport::writeDevice(const QByteArray& bytes) {
  writing_ = true;
  struct Reset {
    QtSerialTransport* self;
    ~Reset() {
      self->writing_ = false;
      if (self->pending_) self->scheduleDelivery();
    }
  } reset{this};

  port_.clearError();
  if (port_.write(bytes) != bytes.size()) throw LinkError(LinkFailure::Write, lastErrno());
  // The write timeout of the line: one second per byte plus one second.
  const int timeoutMs = 1000 * static_cast<int>(bytes.size()) + 1000;
  while (port_.bytesToWrite() > 0) {
    if (!port_.waitForBytesWritten(timeoutMs)) {
      const int err = port_.error() == QSerialPort::TimeoutError ? ETIMEDOUT : lastErrno();
      throw LinkError(LinkFailure::Write, err);
    }
  }
}

QByteArray QtSerialTransport::readDevice(int count) {
  port_.clearError();
  QByteArray bytes = port_.read(count);
  if (port_.error() == QSerialPort::ReadError || port_.error() == QSerialPort::ResourceError) {
    throw LinkError(LinkFailure::Read, lastErrno());
  }
  return bytes;
}

void QtSerialTransport::onReadyRead() {
  if (delivering_ || writing_) {
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

bool QtSerialTransport::deviceStillThere() const {
#ifdef Q_OS_UNIX
  const int fd = static_cast<int>(port_.handle());
  if (fd < 0) return false;
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 0) < 0) return false;
  return !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
  return false;
#endif
}

void QtSerialTransport::onPortError(QSerialPort::SerialPortError error) {
  // A read notification can find the bytes already taken when a write in the same pass of the
  // event loop waited for the line and read them meanwhile (an acknowledgement arriving just as
  // the next request goes out); the read then comes back empty and is reported as a read error.
  // Only a device that is really gone ends the link.
  if (error == QSerialPort::ReadError && isConnected() && deviceStillThere()) {
    port_.clearError();
    return;
  }
  // A vanished device (an unplugged adapter, a simulator that hung up) keeps signalling; drop it
  // at once and tell the user, outside QSerialPort's own signal.
  if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) && isConnected() &&
      !lossQueued_) {
    lossQueued_ = true;
    QTimer::singleShot(0, this, [this] { dropLostDevice(); });
  }
}

void QtSerialTransport::dropLostDevice() {
  lossQueued_ = false;
  if (!isConnected()) return;
  markDisconnected();
  pending_ = false;
  port_.close();
  port_.clearError();
  guarded([] { throw LinkError(LinkFailure::Read, EIO); });
}

}  // namespace orvel
