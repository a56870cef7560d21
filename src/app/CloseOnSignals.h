#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace orvel {

// Turns SIGTERM, SIGINT and SIGHUP (a desktop logout, `kill`, Ctrl+C or the end of the terminal
// the program was started from) into a close of the program on the event loop (any loop, a modal
// box's included), so that config.cfg is written, the port and its lock file are released and a
// recording is closed as on any other close; nobody is there to answer a box meanwhile. The handler
// only writes a byte to a pipe that the event loop watches; each signal's own default comes back
// with it, so a second one of the same kind ends a program whose close is stuck. A signal the
// program was started with ignored (nohup) stays ignored. One instance at a time.
class CloseOnSignals : public QObject {
  Q_OBJECT
 public:
  // close: what a signal does, on the event loop.
  explicit CloseOnSignals(std::function<void()> close);
  ~CloseOnSignals() override;
  CloseOnSignals(const CloseOnSignals&) = delete;
  CloseOnSignals& operator=(const CloseOnSignals&) = delete;

  // False when the pipe or the handlers could not be set up; the signals then act as before.
  bool active() const { return notifier_ != nullptr; }

 private:
  void received();

  std::function<void()> close_;
  QSocketNotifier* notifier_ = nullptr;
  unsigned handled_ = 0;  // bit n: signal n has the handler
};

}  // namespace orvel
