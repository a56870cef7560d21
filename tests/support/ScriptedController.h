#pragma once

#include "link/Timers.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <array>
#include <memory>

namespace orvel::test {

class FakeTransport;

// The argument bytes that follow each command code on the line (-1: not a command).
int argumentCount(std::uint8_t code);
// The written byte stream cut into commands, each as "1F 4C 04" style text.
QStringList splitCommands(const QByteArray& written);

// A controller behind a FakeTransport on virtual time: answers 02h with a live frame after the
// line time of the reply and acknowledges every other complete command with 01h, unless told to
// stay silent, to answer short or to put a stray byte before a reply.
class ScriptedController {
 public:
  using Frame = std::array<int, 7>;  // bytes 0..6; byte 7 is the acknowledgement

  ScriptedController(FakeTransport& link, TimerService& timers);
  ~ScriptedController();

  Frame frame{10, 10, 140, 185, 0x4C, 0x04, 200};
  // Frames for the next replies, before `frame` takes over again.
  QList<Frame> queued;
  // Whole replies to the next 02h requests, sent as they are (a broken reply needs no closing
  // 01h), before `queued` and `frame`.
  QList<QByteArray> rawReplies;
  bool silent = false;
  int shortLength = -1;  // >= 0: only that many bytes of each reply
  bool strayOnce = false;
  int liveRequests = 0;

 private:
  void received(std::uint8_t byte);
  void reply(QByteArray bytes);

  FakeTransport& link_;
  std::unique_ptr<TimerService::Handle> timer_;
  QByteArray pendingCommand_;
  QByteArray outgoing_;
};

}  // namespace orvel::test
