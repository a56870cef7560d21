#pragma once

#include "link/SerialTransport.h"
#include "link/Timers.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <vector>

namespace orvel::test {

// A serial link in memory. Written bytes are recorded (with the time of a virtual clock when one
// is given); received bytes are injected by the test and delivered like the real link does: as
// one notification with the count waiting, never re-entered while a handler runs.
class FakeTransport : public SerialTransport {
 public:
  struct Written {
    Nanos at;
    std::uint8_t byte;
  };

  explicit FakeTransport(const TimerService* clock = nullptr) : clock_(clock) {}

  // Ports whose open fails with "Unable to open com port" and this errno.
  QSet<QString> failingPorts;
  int openErrno = 2;
  QHash<QString, int> openErrnos;  // per port, overriding openErrno
  // The write with this index (counting from 0 over the link's life) fails, and all after it.
  int failWritesFrom = -1;
  // Called after every written byte, e.g. to let a scripted controller answer.
  std::function<void(std::uint8_t)> onWrite;

  void inject(const QByteArray& bytes);
  void inject(std::initializer_list<int> bytes);
  // The bytes reach the device but their notification waits, as when the user interface is held
  // up: deliverArrived() notifies them, a watchdog's collectReceived() takes them in first.
  void arrive(const QByteArray& bytes) { queue_ += bytes; }
  void deliverArrived() { deliver(); }

  // The device goes away underneath the open link, as an unplugged adapter does.
  void loseDevice(int osError);
  int writesSoFar() const { return writes_; }

  QByteArray written() const;
  const std::vector<Written>& writeLog() const { return log_; }
  void clearWritten() { log_.clear(); }
  int opens() const { return opens_; }
  int closes() const { return closes_; }
  QString openedPort() const { return opened_; }
  int waiting() const { return static_cast<int>(queue_.size()); }

 protected:
  void openDevice(const QString& portName) override;
  void closeDevice() override;
  void writeDevice(const QByteArray& bytes) override;
  QByteArray readDevice(int count) override;
  void discardDevice() override { queue_.clear(); }
  void collectDevice() override { deliver(); }

 private:
  void deliver();

  const TimerService* clock_;
  QByteArray queue_;
  std::vector<Written> log_;
  int writes_ = 0;
  int opens_ = 0;
  int closes_ = 0;
  QString opened_;
  bool delivering_ = false;
};

}  // namespace orvel::test
