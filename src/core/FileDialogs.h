#pragma once

#include <QString>

#include <optional>

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

// The platform's print dialog and Qt's file dialogs, over dialogParent(parent) so that a window
// that stays on top does not hide them.
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
