#pragma once

#include "support/ProgramFixture.h"

#include <QByteArray>
#include <QList>

#include <memory>

namespace orvel::test {

constexpr double kReplyMs = 9.4;  // 02h out and eight bytes back at 9600 baud

// A live frame on the wire: the seven data bytes and the 01h that ends every reply.
inline QByteArray liveFrame(const QList<int>& bytes7) {
  QByteArray out;
  for (int b : bytes7)
    out.append(static_cast<char>(b));
  out.append('\x01');
  return out;
}

// Idle at 800 rpm on a 1 V probe, TPS at 1 V, valve at 55.
inline const QList<int> kBaseline{51, 20, 7, 128, 0x4C, 0x04, 200};

// Answers every 02h after the line time of a reply, like a controller on a 9600-baud line, with
// the next frame of its list (round and round), and nothing else: the oscilloscope's live loop
// needs no more. ScriptedController also acknowledges the setting commands.
class LiveFrameController {
 public:
  explicit LiveFrameController(ProgramFixture& f, QList<QList<int>> frames = {kBaseline})
      : f_(f), frames_(std::move(frames)) {
    reply_ = f.timers.createHandle([this] {
      const QList<int>& frame = frames_[replies % frames_.size()];
      ++replies;
      f_.link.inject(liveFrame(frame));
    });
    f.link.onWrite = [this](std::uint8_t b) {
      if (b == 0x02 && answering)
        reply_->start(Nanos(static_cast<long long>(kReplyMs * 1e6)), Nanos(0));
    };
  }
  ~LiveFrameController() { f_.link.onWrite = nullptr; }
  LiveFrameController(const LiveFrameController&) = delete;
  LiveFrameController& operator=(const LiveFrameController&) = delete;

  void setFrame(const QList<int>& bytes) { frames_ = {bytes}; }
  bool answering = true;
  int replies = 0;

 private:
  ProgramFixture& f_;
  QList<QList<int>> frames_;
  std::unique_ptr<TimerService::Handle> reply_;
};

}  // namespace orvel::test
