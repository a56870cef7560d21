#pragma once

#include "core/FileDialogs.h"

#include <QPrinter>
#include <QStringList>

#include <functional>
#include <optional>

namespace orvel::test {

// Answers the print, save and open dialogs from a script instead of showing them, and records
// what each dialog was offered; installed for its lifetime. The machine has no printer unless a
// test names one.
class ScriptedFileDialogs : public FileDialogs {
 public:
  struct PrintOffer {
    QPrinter::OutputFormat format;
    QString outputFile;
  };

  ScriptedFileDialogs() { FileDialogs::install(this); }
  ~ScriptedFileDialogs() override { FileDialogs::install(nullptr); }

  std::optional<QString> defaultPrinter() override { return printer; }

  bool choosePrinter(QPrinter& target, QWidget*) override {
    printOffers.append({target.outputFormat(), target.outputFileName()});
    if (printAnswer && !printAnswer->isEmpty()) target.setOutputFileName(*printAnswer);
    return printAnswer.has_value();
  }
  QString saveFileName(QWidget*, const QString& directory, const QString& filter,
                       const QString& defaultSuffix) override {
    saveOffers.append({directory, filter, defaultSuffix});
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }
  QString openFileName(QWidget*, const QString& directory, const QString& filter,
                       const QString&) override {
    openOffers.append({directory, filter});
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }

  std::optional<QString> printer;  // the default printer; none: no printer installed
  // The print dialog's answer: nothing cancels it, an empty text accepts it as offered, a path
  // accepts it printing into that file.
  std::optional<QString> printAnswer = QString();
  QStringList answers;  // the file names the save and open dialogs return, in turn; "" cancels
  QList<PrintOffer> printOffers;
  QList<QStringList> saveOffers;
  QList<QStringList> openOffers;
};

}  // namespace orvel::test
