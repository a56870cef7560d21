#pragma once

#include "link/SerialDevices.h"

#include <QString>

#include <functional>
#include <optional>

namespace orvel {

class SerialTransport;

// The port chosen at start: the configured one when it opens, else the other one, probed by
// opening and closing it again without a message. The chosen port is then opened for good.
struct StartupPort {
  QString name;                  // "COM1" or "COM2", the one whose menu item is checked
  std::optional<QString> error;  // the one message when neither opens; the link stays closed
};

// When neither port opens, the message also names the serial adapters the machine has (from
// listDevices), so that a fitter sees which device to assign.
StartupPort openAtStartup(SerialTransport& link, bool com1First,
                          const SerialDeviceLister& listDevices = {});

// Assigns a device to "COM1" or "COM2" through store (the registry file) and lets it take
// effect at once: a link open on that port is closed and opened again on the new device (a
// failure is raised; the next command tries again). A port not in use, or a closed link, is
// opened by the next command. Raises "Cannot create file" when the choice cannot be stored.
void assignPortDevice(SerialTransport& link, const QString& portName, const QString& devicePath,
                      const std::function<bool(const QString&, const QString&)>& store);

// A line of a start-up message naming one port, its device and what the system said, e.g.
// "COM1 (/dev/ttyS0): No such file or directory [2]".
QString portFailureLine(const QString& portName, const QString& device, int osError);

}  // namespace orvel
