#pragma once

#include <QString>

#include <optional>

namespace orvel {

class SerialTransport;

// The port chosen at start: the configured one when it opens, else the other one, probed by
// opening and closing it again without a message. The chosen port is then opened for good.
struct StartupPort {
  QString name;                  // "COM1" or "COM2", the one whose menu item is checked
  std::optional<QString> error;  // the one message when neither opens; the link stays closed
};

StartupPort openAtStartup(SerialTransport& link, bool com1First);

// A line of a start-up message naming one port, its device and what the system said, e.g.
// "COM1 (/dev/ttyS0): No such file or directory [2]".
QString portFailureLine(const QString& portName, const QString& device, int osError);

}  // namespace orvel
