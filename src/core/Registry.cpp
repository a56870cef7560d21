#include "core/Registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace orvel {

namespace {

const QString kInstallGroup = QStringLiteral("orvel2001");
const QString kInstallKey = QStringLiteral("default");
const QString kPortsGroup = QStringLiteral("ports");
const QString kServerKey = QStringLiteral("archive/server");
const QString kSiteKey = QStringLiteral("archive/site");

QString iniText(const QString& key) {
  const QString path = Registry::filePath();
  if (!QFileInfo::exists(path)) return QString();
  QSettings ini(path, QSettings::IniFormat);
  if (ini.status() != QSettings::NoError) return QString();
  // A value written by hand with a comma (libpq's list of hosts) reads as a list.
  const QVariant value = ini.value(key);
  return value.metaType().id() == QMetaType::QStringList
             ? value.toStringList().join(QLatin1Char(','))
             : value.toString();
}

QString configHome() {
  const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
  if (!xdg.isEmpty()) return QString::fromLocal8Bit(xdg);
  return QDir::homePath() + QStringLiteral("/.config");
}

}  // namespace

QString Registry::filePath() {
  return configHome() + QStringLiteral("/orvel2001/registry.ini");
}

QString Registry::installationDirectory() {
  return installationDirectoryFor(QCoreApplication::applicationDirPath());
}

QString Registry::installationDirectoryFor(const QString& programDirectory) {
  const QString stored = storedInstallationDirectory();
  if (!stored.isEmpty()) return stored;
  const bool installed = QDir(programDirectory).dirName() == QLatin1String("bin") &&
                         QFileInfo(programDirectory + QStringLiteral("/../share/orvel")).isDir();
  if (!installed) return QString();
  const QString data = userDataDirectory();
  return QDir().mkpath(data) ? data : QString();
}

QString Registry::storedInstallationDirectory() {
  const QString path = filePath();
  QSettings ini(path, QSettings::IniFormat);
  // A file that is not a valid INI file is left alone rather than rewritten: it may be the
  // user's own mistake, and the program runs without it (empty directory).
  if (ini.status() != QSettings::NoError) return QString();
  const QString key = kInstallGroup + QLatin1Char('/') + kInstallKey;
  if (!ini.contains(key)) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    ini.setValue(key, QString());
    ini.sync();
    return QString();
  }
  return ini.value(key).toString();
}

QString Registry::devicePathForPort(const QString& portName) {
  int index = 0;
  if (portName == QLatin1String("COM1")) index = 1;
  if (portName == QLatin1String("COM2")) index = 2;
  if (index == 0) return portName;

  const QByteArray fromEnv = qgetenv(index == 1 ? "ORVEL_COM1" : "ORVEL_COM2");
  if (!fromEnv.isEmpty()) return QString::fromLocal8Bit(fromEnv);

  const QString fallback = index == 1 ? QStringLiteral("/dev/ttyS0") : QStringLiteral("/dev/ttyS1");
  const QString path = filePath();
  if (!QFileInfo::exists(path)) return fallback;
  QSettings ini(path, QSettings::IniFormat);
  if (ini.status() != QSettings::NoError) return fallback;
  const QString value = ini.value(kPortsGroup + QLatin1Char('/') + portName).toString();
  return value.isEmpty() ? fallback : value;
}

bool Registry::setDevicePathForPort(const QString& portName, const QString& devicePath) {
  if (portName != QLatin1String("COM1") && portName != QLatin1String("COM2")) return false;
  const QString path = filePath();
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSettings ini(path, QSettings::IniFormat);
  if (ini.status() != QSettings::NoError) return false;
  ini.setValue(kPortsGroup + QLatin1Char('/') + portName, devicePath);
  ini.sync();
  return ini.status() == QSettings::NoError;
}

QString Registry::overridingVariable(const QString& portName) {
  const char* name = portName == QLatin1String("COM1")   ? "ORVEL_COM1"
                     : portName == QLatin1String("COM2") ? "ORVEL_COM2"
                                                         : nullptr;
  if (!name || qgetenv(name).isEmpty()) return QString();
  return QString::fromLatin1(name);
}

QString Registry::archiveServer() {
  return iniText(kServerKey).trimmed();
}

QString Registry::archiveSite() {
  return iniText(kSiteKey).trimmed();
}

bool Registry::setArchiveServer(const QString& connection, const QString& site) {
  const QString path = filePath();
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSettings ini(path, QSettings::IniFormat);
  if (ini.status() != QSettings::NoError) return false;
  ini.setValue(kServerKey, connection.trimmed());
  ini.setValue(kSiteKey, site.trimmed());
  ini.sync();
  return ini.status() == QSettings::NoError;
}

QString userDataDirectory() {
  const QByteArray xdg = qgetenv("XDG_DATA_HOME");
  const QString base = xdg.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share")
                                     : QString::fromLocal8Bit(xdg);
  return base + QStringLiteral("/orvel2001");
}

QString installationFile(const QString& directory, const QString& fileName) {
  if (directory.isEmpty()) return fileName;
  return directory + QLatin1Char('/') + fileName;
}

}  // namespace orvel
