#pragma once

#include <QString>

namespace orvel {

// Linux has no registry; the program keeps the few machine-wide values it needs in an INI file,
// $XDG_CONFIG_HOME/orvel2001/registry.ini (~/.config when the variable is unset):
//   [orvel2001]  default = the installation directory
//   [ports]      COM1 = /dev/ttyS0, COM2 = /dev/ttyS1 (device paths behind the port names)
//   [archive]    server = a libpq connection string of the workshop's archive server (empty:
//                none), site = the name this PC's read-outs carry there
class Registry {
 public:
  static QString filePath();

  // The installation directory; a missing file or key is created empty, as is a key that cannot
  // be read. An empty directory makes the program's file names resolve in the working directory.
  static QString installationDirectory();
  // The same for a program in programDirectory: when the file names no directory and the program
  // runs from an installed prefix (a "bin" folder beside "share/orvel", as the package installs
  // it), the user's data folder, created if need be: the prefix is not the user's to write, and
  // the folder a desktop menu starts the program in is no place for its files.
  static QString installationDirectoryFor(const QString& programDirectory);

  // The device behind "COM1" or "COM2": the environment variable ORVEL_COM1 / ORVEL_COM2 when set,
  // else the [ports] entry, else /dev/ttyS0 / /dev/ttyS1. Any other name is taken as a path.
  static QString devicePathForPort(const QString& portName);
  // Stores the device behind "COM1" or "COM2" in [ports]; false when the file cannot be written.
  static bool setDevicePathForPort(const QString& portName, const QString& devicePath);
  // The environment variable that overrides the file for this port ("ORVEL_COM1"), empty when
  // none is set.
  static QString overridingVariable(const QString& portName);

  // [archive] server= and site=, empty when unset; false when the file cannot be written.
  static QString archiveServer();
  static QString archiveSite();
  static bool setArchiveServer(const QString& connection, const QString& site);

 private:
  // default= of the file; empty when missing (then created empty) or unreadable.
  static QString storedInstallationDirectory();
};

// $XDG_DATA_HOME/orvel2001, by default ~/.local/share/orvel2001.
QString userDataDirectory();

// A file of the program: the installation directory, a separator and the name; with an empty
// directory just the name (relative to the working directory).
QString installationFile(const QString& directory, const QString& fileName);

}  // namespace orvel
