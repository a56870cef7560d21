#pragma once

#include <QString>

namespace orvel {

// Linux has no registry; the program keeps the few machine-wide values it needs in an INI file,
// $XDG_CONFIG_HOME/orvel2001/registry.ini (~/.config when the variable is unset):
//   [orvel2001]  default = the installation directory
//   [ports]      COM1 = /dev/ttyS0, COM2 = /dev/ttyS1 (device paths behind the port names)
class Registry {
 public:
  static QString filePath();

  // The installation directory; a missing file or key is created empty, as is a key that cannot
  // be read. An empty directory makes the program's file names resolve in the working directory.
  static QString installationDirectory();

  // The device behind "COM1" or "COM2": the environment variable ORVEL_COM1 / ORVEL_COM2 when set,
  // else the [ports] entry, else /dev/ttyS0 / /dev/ttyS1. Any other name is taken as a path.
  static QString devicePathForPort(const QString& portName);
  // Stores the device behind "COM1" or "COM2" in [ports]; false when the file cannot be written.
  static bool setDevicePathForPort(const QString& portName, const QString& devicePath);
  // The environment variable that overrides the file for this port ("ORVEL_COM1"), empty when
  // none is set.
  static QString overridingVariable(const QString& portName);
};

// A file of the program: the installation directory, a separator and the name; with an empty
// directory just the name (relative to the working directory).
QString installationFile(const QString& directory, const QString& fileName);

}  // namespace orvel
