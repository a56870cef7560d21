#pragma once

#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <mutex>
#include <thread>

namespace orvel::test {

// Stands between the program and a PostgreSQL server on Unix sockets, passing every byte on,
// and can cut the line at an exact place in the protocol's messages: after the k-th message one
// side sent, or in the middle of the one after it. It can also be down, as a network that is
// gone: nothing gets through and nothing connects.
class CuttingProxy {
 public:
  enum class Side { Client, Server };

  CuttingProxy(QString upstreamFolder, int port);
  ~CuttingProxy();

  // The socket folder to give libpq instead of the server's.
  QString folder() const { return dir_.path(); }

  // The next cut: counting the messages `side` sends from now on, over every connection.
  void arm(Side side, int messages, bool inside);
  // Whether the armed cut happened; disarms it.
  bool cutHappened();
  void setDown(bool down);

 private:
  void serve();

  QTemporaryDir dir_;
  QString upstream_;
  int port_;
  int wake_[2] = {-1, -1};
  std::mutex mutex_;
  bool armed_ = false;
  bool cut_ = false;
  Side side_ = Side::Client;
  int messages_ = 0;
  bool inside_ = false;
  int target_ = 0;  // bytes of the message cut inside that get through
  int into_ = 0;    // bytes of it through so far
  bool down_ = false;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

}  // namespace orvel::test
