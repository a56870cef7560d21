#pragma once

#include "link/SerialTransport.h"

#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <functional>

class QSocketNotifier;

namespace orvel {

// The link on QSerialPort. Port names map to devices through the registry file (see Registry).
//
// QSerialPort reports read trouble broadly: a notification that finds nothing to read (the bytes
// were already taken while a write waited) comes out as a ReadError or ResourceError carrying a
// stale errno, and a ResourceError also switches reading off. Such a report is therefore only a
// reason to look at the device: the link is dropped when the device itself says it is gone (an
// ioctl fails with EIO, ENXIO, ENODEV) or a hang-up persists; otherwise reading is resumed.
//
// A reply is gathered: a controller's bytes come one per millisecond, and waking the user
// interface for each of them costs more than everything the live loop does with a frame. While
// a reply is due QSerialPort does not read: the bytes wait in the driver until the request and
// the reply could have crossed the line, and are then taken in and notified at once. Bytes still
// missing then are notified as they come, as are bytes that answer no request.
class QtSerialTransport : public QObject, public SerialTransport {
  Q_OBJECT
 public:
  using PathResolver = std::function<QString(const QString& portName)>;

  explicit QtSerialTransport(QObject* parent = nullptr);
  ~QtSerialTransport() override;

  void setPathResolver(PathResolver resolver) { resolve_ = std::move(resolver); }
  QString devicePath() const { return devicePath_; }
  QString deviceFor(const QString& portName) const override { return resolve_(portName); }

  // How often a report was found to be no loss of the device (for tests and benchmarks).
  int spuriousErrors() const { return spuriousErrors_; }

 protected:
  void openDevice(const QString& portName) override;
  void closeDevice() override;
  void writeDevice(const QByteArray& bytes) override;
  QByteArray readDevice(int count) override;
  void discardDevice() override;
  void expectReplyDevice(int length) override;

 private:
  void onReadyRead();
  void deliver();
  void scheduleDelivery();
  void onPortError(QSerialPort::SerialPortError error);
  void checkDevice();
  void dropLostDevice(int osError);
  void closeLostPort();
  void resumeReading();
  void forgetError();
  void startGathering(int lineBytes);
  void endGathering();
  void stopGathering();
  QSocketNotifier* readNotifier() const;
  int lastErrno() const;

  QSerialPort port_;
  PathResolver resolve_;
  QString devicePath_;
  QTimer hangupCheck_;
  QTimer gatherEnd_;
  int replyLength_ = 0;
  bool gathering_ = false;
  int hangupChecks_ = 0;
  int spuriousErrors_ = 0;
  bool delivering_ = false;
  bool writing_ = false;
  bool pending_ = false;
  bool deliveryQueued_ = false;
  bool checkQueued_ = false;
};

// The operating system's error number behind a QSerialPort failure. QSerialPort keeps only the
// system's message, so the number is found again by that text; errors of its own map to the
// nearest errno (a device locked by another program is EBUSY).
int errnoFromSerialPortError(QSerialPort::SerialPortError error, const QString& errorString);

// What the device behind an open descriptor says about itself: 0 when it is there, else the
// errno that shows it is gone (EIO, ENXIO, ENODEV, EBADF). hungUp is set when the line reports
// a hang-up without the device refusing yet.
int deviceGoneErrno(int fd, bool* hungUp);

}  // namespace orvel
