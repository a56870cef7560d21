#include "link/SerialTransport.h"

#include "core/Dialogs.h"
#include "link/LinkError.h"

#include <cerrno>

namespace orvel {

int closedLinkErrno() {
  return EBADF;
}

void SerialTransport::setPortName(const QString& name) {
  if (name == name_) return;
  const bool wasConnected = connected_;
  if (wasConnected) close();
  name_ = name;
  if (wasConnected) open();
}

void SerialTransport::open() {
  if (connected_) return;
  openDevice(name_);
  connected_ = true;
  ++openings_;
}

void SerialTransport::close() {
  if (!connected_) return;
  connected_ = false;
  closeDevice();
}

void SerialTransport::write(const QByteArray& bytes) {
  if (!connected_) throw LinkError(LinkFailure::Write, closedLinkErrno());
  writeDevice(bytes);
}

QByteArray SerialTransport::read(int count) {
  if (!connected_) throw LinkError(LinkFailure::Read, closedLinkErrno());
  if (count <= 0) return QByteArray();
  return readDevice(count);
}

void SerialTransport::discardReceived() {
  if (connected_) discardDevice();
}

void SerialTransport::expectReply(int length) {
  if (connected_ && length > 0) expectReplyDevice(length);
}

void SerialTransport::collectReceived() {
  if (connected_) collectDevice();
}

void SerialTransport::deviceLost(const QString& errorText) {
  connected_ = false;
  if (lossHandler_) {
    guarded([&] { lossHandler_(errorText); });
  } else {
    showErrorBox(errorText);
  }
}

void SerialTransport::notifyReceived(int count) {
  if (count <= 0 || !rxHandler_) return;
  guarded([&] { rxHandler_(count); });
}

}  // namespace orvel
