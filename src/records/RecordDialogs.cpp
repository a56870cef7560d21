#include "records/RecordDialogs.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace orvel {

namespace {
RecordDialogs* g_installed = nullptr;
}

RecordDialogs& RecordDialogs::current() {
  static WidgetRecordDialogs fallback;
  return g_installed ? *g_installed : fallback;
}

void RecordDialogs::install(RecordDialogs* dialogs) {
  g_installed = dialogs;
}

std::optional<QString> WidgetRecordDialogs::defaultPrinter() {
  const QString byDefault = QPrinterInfo::defaultPrinterName();
  if (!byDefault.isEmpty()) return byDefault;
  const QStringList all = QPrinterInfo::availablePrinterNames();
  if (!all.isEmpty()) return all.first();
  return std::nullopt;
}

bool WidgetRecordDialogs::choosePrinter(QPrinter& printer, QWidget* parent) {
  QPrintDialog dialog(&printer, parent);
  dialog.setObjectName(QStringLiteral("PrintDialog1"));
  // One plain text, always printed whole.
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  return dialog.exec() == QDialog::Accepted;
}

QString WidgetRecordDialogs::saveFileName(QWidget* parent, const QString& directory,
                                          const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(parent, QString(), directory, filter);
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

QString WidgetRecordDialogs::openFileName(QWidget* parent, const QString& directory,
                                          const QString& filter) {
  QFileDialog dialog(parent, QString(), directory, filter);
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

}  // namespace orvel
