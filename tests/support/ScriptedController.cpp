#include "support/ScriptedController.h"

#include "support/FakeTransport.h"

namespace orvel::test {

namespace {
// 02h out and eight bytes back at 9600 baud.
constexpr Nanos kReplyTime{9'400'000};
}  // namespace

int argumentCount(std::uint8_t code) {
  // Codes 00h..20h; AAh has none; anything else is not a command.
  static constexpr int kArguments[] = {-1, 0, 0, 1, 1, 1, 4, 1, 2, 0, 0, 1, 0, 0, 1, 1, 0,
                                       0,  2, 1, 2, 2, 2, 1, 2, 1, 4, 1, 2, 1, 1, 2, 2};
  if (code == 0xAA) return 0;
  return code < sizeof kArguments / sizeof kArguments[0] ? kArguments[code] : -1;
}

QStringList splitCommands(const QByteArray& written) {
  QStringList out;
  int i = 0;
  while (i < written.size()) {
    const int argc = argumentCount(static_cast<std::uint8_t>(written.at(i)));
    const int length = argc < 0 ? 1 : 1 + argc;
    out << QString::fromLatin1(written.mid(i, length).toHex(' ').toUpper());
    i += length;
  }
  return out;
}

ScriptedController::ScriptedController(FakeTransport& link, TimerService& timers) : link_(link) {
  timer_ = timers.createHandle([this] {
    const QByteArray bytes = outgoing_;
    outgoing_.clear();
    link_.inject(bytes);
  });
  link_.onWrite = [this](std::uint8_t b) { received(b); };
}

ScriptedController::~ScriptedController() {
  link_.onWrite = nullptr;
}

void ScriptedController::received(std::uint8_t byte) {
  pendingCommand_.append(static_cast<char>(byte));
  const int argc = argumentCount(static_cast<std::uint8_t>(pendingCommand_.at(0)));
  if (argc < 0) {
    pendingCommand_.clear();
    return;
  }
  if (pendingCommand_.size() < 1 + argc) return;
  const auto code = static_cast<std::uint8_t>(pendingCommand_.at(0));
  pendingCommand_.clear();
  if (code == 0x0A) return;  // not acknowledged
  if (code == 0x02) {
    ++liveRequests;
    if (!rawReplies.isEmpty()) {
      reply(rawReplies.takeFirst());
      return;
    }
    const Frame f = queued.isEmpty() ? frame : queued.takeFirst();
    QByteArray bytes;
    for (int b : f)
      bytes.append(static_cast<char>(b));
    bytes.append('\x01');
    reply(bytes);
    return;
  }
  reply(QByteArray(1, '\x01'));
}

void ScriptedController::reply(QByteArray bytes) {
  if (silent) return;
  if (shortLength >= 0) bytes.truncate(shortLength);
  if (strayOnce) {
    bytes.prepend('\xFF');
    strayOnce = false;
  }
  outgoing_ += bytes;
  timer_->start(kReplyTime, Nanos(0));
}

}  // namespace orvel::test
