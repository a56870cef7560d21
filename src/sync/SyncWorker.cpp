#include "sync/SyncWorker.h"

#include "sync/ArchiveSync.h"

#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

namespace orvel {

// The part of the worker that lives on its thread: the engine, made there, and its timer.
class SyncLoop : public QObject {
 public:
  SyncLoop(QString path, QString line, QString site, SyncWorker::Timing timing,
           std::shared_ptr<LineCutter> cutter, SyncWorker* owner)
      : path_(std::move(path)),
        line_(std::move(line)),
        site_(std::move(site)),
        timing_(timing),
        cutter_(std::move(cutter)),
        owner_(owner) {
    // A child, so that it moves to the worker's thread with this object.
    timer_.setParent(this);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { run(); });
  }

  void begin() {
    // Below the interface thread, without starving: a long first transfer takes the CPU the
    // fitter's work leaves.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    sync_ = std::make_unique<ArchiveSync>(path_, line_, site_, cutter_);
    sync_->notified = [this] { soon(); };
    run();
  }

  // Something new here or on the server: a pass next, unless one is due anyway.
  void soon() {
    if (cutter_->isCut()) return;
    // The count shown moves at once, before the network is asked.
    if (last_.trouble()) {
      ServerStatus now = last_;
      now.waiting = sync_->waiting();
      tell(now, false);
    }
    timer_.start(0);
  }

  void end() {
    timer_.stop();
    sync_.reset();
    thread()->quit();
  }

 private:
  void run() {
    if (cutter_->isCut()) return;
    QElapsedTimer sinceTold;
    sinceTold.start();
    const ArchiveSync::Result result = sync_->pass([&](const ServerStatus& going) {
      // A long first transfer shows its count going down, a few times a second at most.
      if (sinceTold.elapsed() < 250) return;
      sinceTold.restart();
      tell(going, false);
    });
    if (cutter_->isCut()) return;
    tell(result.status, result.fetched > 0);
    using S = ServerStatus::State;
    const S state = result.status.state;
    timer_.start(state == S::Unreachable ? timing_.retryMs
                 : state == S::Refused   ? timing_.refusedMs
                 : state == S::Sending   ? 0
                                         : timing_.pollMs);
  }

  void tell(const ServerStatus& status, bool arrived) {
    last_ = status;
    // The owner outlives this thread: its destructor waits for it.
    SyncWorker* owner = owner_;
    QMetaObject::invokeMethod(
        owner, [owner, status, arrived] { owner->publish(status, arrived); }, Qt::QueuedConnection);
  }

  const QString path_;
  const QString line_;
  const QString site_;
  const SyncWorker::Timing timing_;
  std::shared_ptr<LineCutter> cutter_;
  SyncWorker* owner_;
  std::unique_ptr<ArchiveSync> sync_;
  QTimer timer_;
  ServerStatus last_;
};

SyncWorker::SyncWorker(QString archivePath, QString line, QString site, Timing timing)
    : cutter_(std::make_shared<LineCutter>()) {
  status_.state = ServerStatus::State::Connecting;
  loop_ =
      new SyncLoop(std::move(archivePath), std::move(line), std::move(site), timing, cutter_, this);
  loop_->moveToThread(&thread_);
  thread_.setObjectName(QStringLiteral("archive sync"));
  thread_.start();
  SyncLoop* loop = loop_;
  QMetaObject::invokeMethod(
      loop, [loop] { loop->begin(); }, Qt::QueuedConnection);
}

SyncWorker::~SyncWorker() {
  cutter_->cut();
  SyncLoop* loop = loop_;
  QMetaObject::invokeMethod(
      loop, [loop] { loop->end(); }, Qt::QueuedConnection);
  thread_.wait();
  delete loop_;
}

void SyncWorker::kick() {
  SyncLoop* loop = loop_;
  QMetaObject::invokeMethod(
      loop, [loop] { loop->soon(); }, Qt::QueuedConnection);
}

void SyncWorker::publish(const ServerStatus& status, bool arrived) {
  const bool changed = status != status_;
  status_ = status;
  if (changed && statusChanged) statusChanged(status_);
  if (arrived && rowsArrived) rowsArrived();
}

}  // namespace orvel
