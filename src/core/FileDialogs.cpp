#include "core/FileDialogs.h"

#include "core/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace orvel {

namespace {
FileDialogs* g_installed = nullptr;
}

namespace {
QString g_lastFolder;
}

QString DialogFolder::start(const QString& firstTime) {
  // An empty or relative folder would be read against the current directory.
  return QDir::cleanPath(
      QFileInfo(g_lastFolder.isEmpty() ? firstTime : g_lastFolder).absoluteFilePath());
}

void DialogFolder::remember(const QString& chosenFile) {
  if (!chosenFile.isEmpty()) g_lastFolder = QFileInfo(chosenFile).absolutePath();
}

void DialogFolder::forget() {
  g_lastFolder.clear();
}

namespace {

// While the program closes on a signal nobody chooses a file or a printer.
class DecliningFileDialogs : public FileDialogs {
 public:
  std::optional<QString> defaultPrinter() override { return std::nullopt; }
  bool choosePrinter(QPrinter&, QWidget*) override { return false; }
  QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return QString();
  }
  QString openFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return QString();
  }
};

}  // namespace

FileDialogs& FileDialogs::current() {
  static WidgetFileDialogs fallback;
  static DecliningFileDialogs declining;
  if (Dialogs::unattended()) return declining;
  return g_installed ? *g_installed : fallback;
}

void FileDialogs::install(FileDialogs* dialogs) {
  g_installed = dialogs;
}

std::optional<QString> WidgetFileDialogs::defaultPrinter() {
  const QString byDefault = QPrinterInfo::defaultPrinterName();
  if (!byDefault.isEmpty()) return byDefault;
  const QStringList all = QPrinterInfo::availablePrinterNames();
  if (!all.isEmpty()) return all.first();
  return std::nullopt;
}

bool WidgetFileDialogs::choosePrinter(QPrinter& printer, QWidget* parent) {
  QPrintDialog dialog(&printer, dialogParent(parent));
  dialog.setObjectName(QStringLiteral("PrintDialog1"));
  keepAboveParent(dialog);
  // One plain text, always printed whole.
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  return dialog.exec() == QDialog::Accepted;
}

QString WidgetFileDialogs::saveFileName(QWidget* parent, const QString& directory,
                                        const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(dialogParent(parent), QString(), directory, filter);
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  keepAboveParent(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

QString WidgetFileDialogs::openFileName(QWidget* parent, const QString& directory,
                                        const QString& filter, const QString& title) {
  QFileDialog dialog(dialogParent(parent), title, directory, filter);
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  keepAboveParent(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

}  // namespace orvel
