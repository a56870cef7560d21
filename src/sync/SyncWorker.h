#pragma once

#include "sync/ServerLine.h"
#include "sync/ServerStatus.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

namespace orvel {

class SyncLoop;

// Runs ArchiveSync on a thread of its own, so that no read-out and no window ever waits for the
// network: a pass at start, one as soon as this PC keeps something new or the server says
// another PC sent something, one every poll interval, and while the server cannot be reached or
// refuses, one every retry interval.
class SyncWorker : public QObject {
  Q_OBJECT
 public:
  struct Timing {
    int pollMs = 30000;     // in step with the server: another PC's rows arrive within this
    int retryMs = 10000;    // the server unreachable: rows go out this long after it is back
    int refusedMs = 60000;  // the server refuses: asked again after this
  };

  // line: registry.ini's [archive] server=.
  SyncWorker(QString archivePath, QString line, QString site, Timing timing);
  SyncWorker(QString archivePath, QString line, QString site)
      : SyncWorker(std::move(archivePath), std::move(line), std::move(site), Timing()) {}
  // Cuts a transfer under way and waits for the thread to end.
  ~SyncWorker() override;

  // A pass as soon as the thread is free: this PC kept a read-out or changed a note. From any
  // thread.
  void kick();
  const ServerStatus& status() const { return status_; }

  // Told on the thread that made the worker.
  std::function<void(const ServerStatus&)> statusChanged;
  std::function<void()> rowsArrived;

 private:
  friend class SyncLoop;
  void publish(const ServerStatus& status, bool arrived);

  std::shared_ptr<LineCutter> cutter_;
  QThread thread_;
  SyncLoop* loop_;
  ServerStatus status_;
};

}  // namespace orvel
