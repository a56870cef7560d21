#include "link/SerialDevices.h"

#include "core/Language.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>

namespace orvel {

QList<SerialDevice> serialDevices() {
  QList<SerialDevice> out;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    SerialDevice d;
    d.path = info.systemLocation();
    d.description = info.description();
    d.manufacturer = info.manufacturer();
    d.serialNumber = info.serialNumber();
    out << d;
  }
  addStableNames(out, QStringLiteral("/dev/serial/by-id"));
  return out;
}

void addStableNames(QList<SerialDevice>& devices, const QString& byIdDir) {
  const QDir dir(byIdDir);
  if (!dir.exists()) return;
  for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
    if (!link.isSymLink()) continue;
    const QString target = QFileInfo(link.symLinkTarget()).canonicalFilePath();
    for (SerialDevice& d : devices) {
      if (d.stableName.isEmpty() && QFileInfo(d.path).canonicalFilePath() == target) {
        d.stableName = link.absoluteFilePath();
      }
    }
  }
}

std::optional<int> adapterLatencyMs(const QString& devicePath, const QString& sysfsRoot) {
  const QString device = QFileInfo(QFileInfo(devicePath).canonicalFilePath()).fileName();
  if (device.isEmpty()) return std::nullopt;
  QFile timer(sysfsRoot + QStringLiteral("/class/tty/") + device +
              QStringLiteral("/device/latency_timer"));
  if (!timer.open(QIODevice::ReadOnly)) return std::nullopt;
  bool ok = false;
  const int ms = QString::fromLatin1(timer.read(16)).trimmed().toInt(&ok);
  if (!ok || ms < 0 || ms > 255) return std::nullopt;
  return ms;
}

int liveRateWithLatency(int latencyMs) {
  // Request and reply take 9 characters of 10 bits at 9600 baud: 9.375 ms, in microseconds.
  constexpr int kExchangeUs = 9375;
  constexpr int kSlotUs = 20000;
  const int turnUs = std::max(kSlotUs, kExchangeUs + 1000 * std::max(0, latencyMs));
  return 1000000 / turnUs;
}

QString adaptersLine(const QList<SerialDevice>& devices) {
  if (devices.isEmpty()) {
    return tr3("W systemie nie ma żadnego adaptera portu szeregowego",
               "This machine has no serial port adapter",
               "Nel sistema non c'è nessun adattatore di porta seriale");
  }
  QStringList names;
  for (const SerialDevice& d : devices) {
    names << (d.description.isEmpty() ? d.path
                                      : QStringLiteral("%1 (%2)").arg(d.path, d.description));
  }
  return tr3("Adaptery w systemie: ", "Adapters of this machine: ", "Adattatori nel sistema: ") +
         names.join(QStringLiteral(", "));
}

}  // namespace orvel
