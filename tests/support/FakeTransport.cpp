#include "support/FakeTransport.h"

#include "link/LinkError.h"

namespace orvel::test {

void FakeTransport::inject(const QByteArray& bytes) {
  queue_ += bytes;
  deliver();
}

void FakeTransport::inject(std::initializer_list<int> bytes) {
  QByteArray b;
  for (int v : bytes)
    b.append(static_cast<char>(v & 0xFF));
  inject(b);
}

void FakeTransport::deliver() {
  if (delivering_) return;  // reported by the next notification
  while (isConnected() && !queue_.isEmpty()) {
    delivering_ = true;
    const int before = static_cast<int>(queue_.size());
    notifyReceived(before);
    delivering_ = false;
    // A handler that read nothing would spin forever; the real link waits for new data then.
    if (static_cast<int>(queue_.size()) >= before) break;
  }
}

QByteArray FakeTransport::written() const {
  QByteArray out;
  for (const Written& w : log_)
    out.append(static_cast<char>(w.byte));
  return out;
}

void FakeTransport::openDevice(const QString& portName) {
  if (failingPorts.contains(portName)) {
    throw LinkError(LinkFailure::Open, openErrnos.value(portName, openErrno));
  }
  ++opens_;
  opened_ = portName;
}

void FakeTransport::closeDevice() {
  ++closes_;
  opened_.clear();
  queue_.clear();
}

void FakeTransport::loseDevice(int osError) {
  queue_.clear();
  deviceLost(LinkError(LinkFailure::Read, osError).text());
}

void FakeTransport::writeDevice(const QByteArray& bytes) {
  for (char c : bytes) {
    if (failWritesFrom >= 0 && writes_ >= failWritesFrom) {
      ++writes_;
      throw LinkError(LinkFailure::Write, 5);
    }
    ++writes_;
    const auto value = static_cast<std::uint8_t>(c);
    log_.push_back({clock_ ? clock_->now() : Nanos(0), value});
    if (onWrite) onWrite(value);
  }
}

QByteArray FakeTransport::readDevice(int count) {
  QByteArray out = queue_.left(count);
  queue_.remove(0, out.size());
  return out;
}

}  // namespace orvel::test
