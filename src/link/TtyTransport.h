#pragma once

#include "link/SerialTransport.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QLockFile;
class QSocketNotifier;

namespace orvel {

// The link on a terminal device of the operating system, held by its own descriptor: raw
// 9600 8N1 without flow control, DTR and RTS inactive, exclusive (a lock file as serial tools
// and QSerialPort name it, and TIOCEXCL against programs that take no lock), and with the
// driver asked for low latency, which makes a USB adapter hand received bytes over at once
// instead of when its latency timer runs out. Port names map to devices through the registry
// file (see Registry).
//
// Every failure carries the errno of the call that failed. A read that finds nothing, an end of
// file or an EIO is only a reason to look at the device: the link is dropped when the device
// itself says it is gone (an ioctl fails with EIO, ENXIO, ENODEV) or a hang-up persists.
//
// A reply is gathered: a controller's bytes come one per millisecond, and waking the user
// interface for each of them costs more than everything the live loop does with a frame. While
// a reply is due the descriptor is not watched: the bytes wait in the driver until the request
// and the reply could have crossed the line, and are then taken in and notified at once. Bytes
// still missing then (an adapter that holds them back) are notified as they come, as are bytes
// that answer no request.
class TtyTransport : public QObject, public SerialTransport {
  Q_OBJECT
 public:
  using PathResolver = std::function<QString(const QString& portName)>;

  explicit TtyTransport(QObject* parent = nullptr);
  ~TtyTransport() override;

  void setPathResolver(PathResolver resolver) { resolve_ = std::move(resolver); }
  QString devicePath() const { return devicePath_; }
  QString deviceFor(const QString& portName) const override { return resolve_(portName); }

  // How often a wake-up to read found nothing to read or a report was found to be no loss of
  // the device (for tests and benchmarks).
  int spuriousErrors() const { return spuriousErrors_; }

 protected:
  void openDevice(const QString& portName) override;
  void closeDevice() override;
  void writeDevice(const QByteArray& bytes) override;
  QByteArray readDevice(int count) override;
  void discardDevice() override;
  void expectReplyDevice(int length) override;
  void collectDevice() override;

 private:
  enum class Fill { Nothing, Bytes, Trouble };
  // Takes in what the driver holds; Trouble when the read reported an end of file or an error.
  Fill fill();
  void onReadable();
  void deliver();
  void scheduleDelivery();
  // Watches the descriptor unless a gather or a look at the device is running.
  void watch();
  void lookAtDevice();
  void startGathering(int lineBytes);
  void endGathering();
  void stopGathering();
  void checkDevice();
  void dropLostDevice(int osError);
  void closeLostPort();
  void release();

  PathResolver resolve_;
  QString devicePath_;
  int fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;  // a child, released with the descriptor
  std::unique_ptr<QLockFile> lock_;
  QByteArray received_;
  QTimer hangupCheck_;
  QTimer gatherEnd_;
  int replyLength_ = 0;
  int hangupChecks_ = 0;
  int cleanLooks_ = 0;  // looks since the last bytes read that found the device well
  int spuriousErrors_ = 0;
  bool lowLatencyOurs_ = false;  // asked for by this link, given back when it closes
  bool gathering_ = false;
  bool checking_ = false;
  bool delivering_ = false;
  bool writing_ = false;
  bool pending_ = false;
  bool deliveryQueued_ = false;
};

// What the device behind an open descriptor says about itself: 0 when it is there, else the
// errno that shows it is gone (EIO, ENXIO, ENODEV, EBADF). hungUp is set when the line reports
// a hang-up without the device refusing yet.
int deviceGoneErrno(int fd, bool* hungUp);

// The lock file of a device (its path below /dev, '/' as '_', after "LCK.."), in the first of
// the system's lock folders that can hold it, as serial tools and QSerialPort choose it; empty
// when none can.
QString deviceLockPath(const QString& devicePath);

}  // namespace orvel
