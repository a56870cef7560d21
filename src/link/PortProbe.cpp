#include "link/PortProbe.h"

#include "core/Registry.h"
#include "link/LinkError.h"
#include "link/SerialTransport.h"

#include <QStringList>

#include <cerrno>
#include <clocale>
#include <cstring>

#include <locale.h>
#include <string.h>

namespace orvel {

namespace {

// The errno of a failed open, or 0 when it opened.
int tryOpen(SerialTransport& link) {
  try {
    link.open();
    return 0;
  } catch (const LinkError& e) {
    try {
      link.close();
    } catch (const AppError&) {
    }
    return e.osError() != 0 ? e.osError() : EIO;
  }
}

// The system's text for an errno in English: the port's messages are fixed English texts,
// whatever language the interface (and with it Qt's own texts) or the machine speaks.
QString englishErrorText(int osError) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
  if (!c) return QStringLiteral("error %1").arg(osError);
  return QString::fromLocal8Bit(strerror_l(osError, c));
}

}  // namespace

QString portFailureLine(const QString& portName, const QString& device, int osError) {
  const QString where =
      device == portName ? portName : QStringLiteral("%1 (%2)").arg(portName, device);
  return QStringLiteral("%1: %2 [%3]").arg(where, englishErrorText(osError)).arg(osError);
}

void assignPortDevice(SerialTransport& link, const QString& portName, const QString& devicePath,
                      const std::function<bool(const QString&, const QString&)>& store) {
  if (!store(portName, devicePath)) {
    throw AppError(QStringLiteral("Cannot create file %1").arg(Registry::filePath()));
  }
  if (link.portName() != portName || !link.isConnected()) return;
  link.close();
  link.open();
}

StartupPort openAtStartup(SerialTransport& link, bool com1First,
                          const SerialDeviceLister& listDevices) {
  const QString first = com1First ? QStringLiteral("COM1") : QStringLiteral("COM2");
  const QString second = com1First ? QStringLiteral("COM2") : QStringLiteral("COM1");
  link.setPortName(first);
  int firstError = tryOpen(link);
  if (firstError == 0) {
    link.close();
  } else {
    link.setPortName(second);
  }
  StartupPort result{link.portName(), std::nullopt};
  const int finalError = tryOpen(link);
  if (finalError == 0) return result;

  // The message is the one of the port finally chosen, as for any failed open; which port was
  // tried first, and why each failed, is what a fitter needs to put it right.
  QStringList lines{QStringLiteral("%1 (win error code: %2).")
                        .arg(linkFailureText(LinkFailure::Open))
                        .arg(finalError)};
  if (firstError != 0 && link.portName() != first) {
    lines << portFailureLine(first, link.deviceFor(first), firstError);
  }
  lines << portFailureLine(link.portName(), link.deviceFor(link.portName()), finalError);
  if (listDevices) lines << adaptersLine(listDevices());
  if (firstError == EACCES || finalError == EACCES) lines << permissionHint();
  result.error = lines.join(QStringLiteral("\r\n"));
  return result;
}

}  // namespace orvel
