#pragma once

#include "link/SerialTransport.h"

#include <QObject>
#include <QSerialPort>

#include <functional>

namespace orvel {

// The link on QSerialPort. Port names map to devices through the registry file (see Registry).
class QtSerialTransport : public QObject, public SerialTransport {
  Q_OBJECT
 public:
  using PathResolver = std::function<QString(const QString& portName)>;

  explicit QtSerialTransport(QObject* parent = nullptr);
  ~QtSerialTransport() override;

  void setPathResolver(PathResolver resolver) { resolve_ = std::move(resolver); }
  QString devicePath() const { return devicePath_; }

 protected:
  void openDevice(const QString& portName) override;
  void closeDevice() override;
  void writeDevice(const QByteArray& bytes) override;
  QByteArray readDevice(int count) override;

 private:
  void onReadyRead();
  void deliver();
  void scheduleDelivery();
  void onPortError(QSerialPort::SerialPortError error);
  void dropLostDevice();
  bool deviceStillThere() const;
  int lastErrno() const;

  QSerialPort port_;
  PathResolver resolve_;
  QString devicePath_;
  bool delivering_ = false;
  bool writing_ = false;
  bool pending_ = false;
  bool deliveryQueued_ = false;
  bool lossQueued_ = false;
};

// The operating system's error number behind a QSerialPort failure. QSerialPort keeps only the
// system's message, so the number is found again by that text; errors of its own map to the
// nearest errno (a device locked by another program is EBUSY).
int errnoFromSerialPortError(QSerialPort::SerialPortError error, const QString& errorString);

}  // namespace orvel
