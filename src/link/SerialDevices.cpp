#include "link/SerialDevices.h"

#include "core/Language.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

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

QString adaptersLine(const QList<SerialDevice>& devices) {
  if (devices.isEmpty()) {
    return plIt(QStringLiteral("W systemie nie ma żadnego adaptera portu szeregowego"),
                QStringLiteral("Nel sistema non c'è nessun adattatore di porta seriale"));
  }
  QStringList names;
  for (const SerialDevice& d : devices) {
    names << (d.description.isEmpty() ? d.path
                                      : QStringLiteral("%1 (%2)").arg(d.path, d.description));
  }
  return plIt(QStringLiteral("Adaptery w systemie: "), QStringLiteral("Adattatori nel sistema: ")) +
         names.join(QStringLiteral(", "));
}

}  // namespace orvel
