#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace orvel {

// A serial device of the machine, as the port dialog and the start-up message show it.
struct SerialDevice {
  QString path;          // /dev/ttyUSB0
  QString stableName;    // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0, or empty
  QString description;   // "FT232R USB UART"
  QString manufacturer;  // "FTDI"
  QString serialNumber;  // "A1B2C3"
  // The name to store: the stable one survives replugging into another USB socket.
  QString preferredPath() const { return stableName.isEmpty() ? path : stableName; }
};

using SerialDeviceLister = std::function<QList<SerialDevice>()>;

// The machine's serial devices from QSerialPortInfo, each with its /dev/serial/by-id name where
// udev made one.
QList<SerialDevice> serialDevices();

// Fills in the stable names: every symlink in byIdDir that resolves to a device's path.
void addStableNames(QList<SerialDevice>& devices, const QString& byIdDir);

// One line for a message, naming the adapters present ("Adaptery w systemie: /dev/ttyUSB0 (FT232R
// USB UART), /dev/ttyACM0") or saying that there is none.
QString adaptersLine(const QList<SerialDevice>& devices);

// The latency timer of a USB serial adapter, in milliseconds, as its driver shows it in sysfs
// (<sysfsRoot>/class/tty/<device>/device/latency_timer, the device found through any symlink of
// the path); nothing for a device that has none (a built-in port, a pseudo-terminal).
std::optional<int> adapterLatencyMs(const QString& devicePath,
                                    const QString& sysfsRoot = QStringLiteral("/sys"));

// The live frames a second an adapter's latency timer leaves at worst: a reply then reaches the
// program the whole timer after its 9.4 ms on the line, and the next request waits for it.
int liveRateWithLatency(int latencyMs);

}  // namespace orvel
