#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

namespace orvel {

// One character on the line: a start bit, 8 data bits and a stop bit at 9600 baud.
inline constexpr std::chrono::nanoseconds kCharacterTime{1041667};

// The program's one serial link to the controller (9600 baud, 8 data bits, no parity, 1 stop
// bit, no flow control, DTR and RTS inactive). The link is either connected or not; every
// failure raises a LinkError. The received-characters notification is delivered on the
// user-interface thread and never re-entered: bytes that arrive while a handler runs wait and
// are reported by the next notification.
class SerialTransport {
 public:
  using RxHandler = std::function<void(int count)>;

  virtual ~SerialTransport() = default;

  // Stores the name ("COM1", "COM2"). A connected link is closed and opened again on a new name;
  // if that open fails the error is raised and the link stays closed with the new name stored.
  void setPortName(const QString& name);
  QString portName() const { return name_; }
  bool isConnected() const { return connected_; }
  // How many times the link has been opened; tells one connection from the next.
  int openings() const { return openings_; }

  // Does nothing when already connected; on failure the device is closed again and the error
  // raised.
  void open();
  // Does nothing when not connected. Pending transfers are dropped.
  void close();
  // Writes the bytes and returns once they are written. A write on a closed link fails with the
  // write error.
  void write(const QByteArray& bytes);
  // Up to count bytes that are waiting; the result is as long as what was read.
  QByteArray read(int count);
  // Throws away what has arrived and not been read yet. Does nothing when not connected.
  void discardReceived();
  // The next write is a request answered by this many bytes. An implementation may gather the
  // reply: hold the notification until request and reply could have crossed the line, so that a
  // reply comes in one notification rather than one per byte. Whatever is still missing then is
  // notified as it comes. Does nothing when not connected.
  void expectReply(int length);
  // Notifies now what has reached the device and not been notified yet, a gathered reply's
  // bytes included, unless a notification is running. A watchdog calls it before it gives up a
  // request, so that a reply that arrived while the user interface was held up is not taken
  // for silence.
  void collectReceived();

  // The handler of the received-characters notification, called with the number of bytes
  // waiting (never 0).
  void setRxHandler(RxHandler handler) { rxHandler_ = std::move(handler); }

  // Called once when the device goes away underneath an open link (an unplugged adapter, a
  // peer that hung up), after the link has been marked closed. Without a handler the error is
  // shown in the standard error box.
  using LossHandler = std::function<void(const QString& errorText)>;
  void setLossHandler(LossHandler handler) { lossHandler_ = std::move(handler); }

  // The device a port name stands for, for messages ("COM1" -> "/dev/ttyUSB0").
  virtual QString deviceFor(const QString& portName) const { return portName; }

 protected:
  // Implementations leave the device closed when they throw.
  virtual void openDevice(const QString& portName) = 0;
  virtual void closeDevice() = 0;
  virtual void writeDevice(const QByteArray& bytes) = 0;
  virtual QByteArray readDevice(int count) = 0;
  virtual void discardDevice() {}
  virtual void expectReplyDevice(int /*length*/) {}
  virtual void collectDevice() {}

  // For implementations: marks the link closed after the device was lost underneath it and
  // reports the loss.
  void deviceLost(const QString& errorText);
  // For implementations: marks the link closed without a report, for a loss that the operation
  // which found it raises as its own error.
  void markClosed() { connected_ = false; }
  // For implementations: runs the notification handler, guarded like every event handler.
  void notifyReceived(int count);

 private:
  QString name_;
  bool connected_ = false;
  int openings_ = 0;
  RxHandler rxHandler_;
  LossHandler lossHandler_;
};

// The operating system's error number for a link that is not open (what a write to a closed
// handle reports).
int closedLinkErrno();

}  // namespace orvel
