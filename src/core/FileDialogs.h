#pragma once

#include <QString>

#include <optional>

class QFileDialog;
class QPrinter;
class QWidget;

namespace orvel {

// The printers and the standard print, save and open dialogs (the records' files, the drive
// logs) go through here, so that tests answer them instead of blocking on a modal dialog (as
// Dialogs does for message boxes).
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;

  // The printer a print without a dialog goes to: the system's default printer, else any
  // installed one; nothing on a machine without a printer.
  virtual std::optional<QString> defaultPrinter() = 0;
  // The print dialog on printer; false when the user cancelled it.
  virtual bool choosePrinter(QPrinter& printer, QWidget* parent) = 0;
  // The save dialog starting in directory; an empty name when the user cancelled it. An existing
  // file is chosen without asking.
  virtual QString saveFileName(QWidget* parent, const QString& directory, const QString& filter,
                               const QString& defaultSuffix) = 0;
  // The open dialog, titled `title` (the platform's own title when empty); an empty name when
  // the user cancelled it.
  virtual QString openFileName(QWidget* parent, const QString& directory, const QString& filter,
                               const QString& title) = 0;

  static FileDialogs& current();
  // Installs a replacement (not owned); nullptr restores the widget dialogs.
  static void install(FileDialogs* dialogs);
};

// Where the save and open dialogs start: the folder the caller offers the first time (the
// installation directory, where the program's files are), then the folder of the file last
// chosen in any of them, for the rest of the program run; never the folder the program happened
// to be started from.
class DialogFolder {
 public:
  static QString start(const QString& firstTime);
  static void remember(const QString& chosenFile);
  // A new program run (the tests start many in one process).
  static void forget();
};

// Files that only their own library may open: a database's file and its journal files (-wal,
// -shm, -journal). POSIX locks belong to the process, not to a descriptor: anything in the program
// that opened and closed one of these files (a dialog looking into a file to decide its type, a
// viewer, a save over it) would silently drop the database's locks, and another program could
// then checkpoint and delete the journal that holds the latest rows. Every dialog of the program
// refuses such a path, whatever folder the fitter browsed to.
class GuardedFiles {
 public:
  // A database file; its journal files are guarded with it.
  static void guard(const QString& databasePath);
  // The path names a guarded file: the same name in the same folder once links are resolved, or
  // the same file on disk (a hard link). Looked up by name and status only, never opened.
  static bool isGuarded(const QString& path);
  // The refusal a dialog shows for such a path, in the interface language.
  static QString refusalText(const QString& path);
  // A new program run (the tests start many in one process).
  static void forget();
};

// The platform's print dialog and Qt's own file dialogs, over dialogParent(parent) so that a
// window that stays on top does not hide them. The file dialogs tell files apart by their names
// alone: the platform's dialog and Qt's default icon provider read a file's first bytes to decide
// its type, which opens every file of the folder shown, a database's journal files included.
void useNameOnlyFileDialog(QFileDialog& dialog);
class WidgetFileDialogs : public FileDialogs {
 public:
  std::optional<QString> defaultPrinter() override;
  bool choosePrinter(QPrinter& printer, QWidget* parent) override;
  QString saveFileName(QWidget* parent, const QString& directory, const QString& filter,
                       const QString& defaultSuffix) override;
  QString openFileName(QWidget* parent, const QString& directory, const QString& filter,
                       const QString& title) override;
};

}  // namespace orvel
