#include "records/RecordsCommands.h"

#include "core/Dialogs.h"
#include "core/FileDialogs.h"
#include "core/Language.h"
#include "core/Registry.h"
#include "core/TextFile.h"
#include "records/TForm2.h"
#include "records/TextPrinting.h"
#include "records/UserData.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>

namespace orvel {

namespace {

const QString kUserDataFileName = QStringLiteral("dane.cfg");
const QString kReportFileName = QStringLiteral("param.cfg");
const QString kReportPdfFileName = QStringLiteral("param.pdf");
const QString kSettingsSuffix = QStringLiteral("orv");
constexpr int kReportPointSize = 12;

}  // namespace

RecordsCommands::RecordsCommands(Context context) : ctx_(std::move(context)) {
  Q_ASSERT(ctx_.userData && ctx_.viewer && ctx_.editor);
}

QString RecordsCommands::userDataFile() const {
  return installationFile(ctx_.installationDirectory, kUserDataFileName);
}
QString RecordsCommands::reportFile() const {
  return installationFile(ctx_.installationDirectory, kReportFileName);
}
QString RecordsCommands::reportPdfFile() const {
  return QFileInfo(installationFile(ctx_.installationDirectory, kReportPdfFileName))
      .absoluteFilePath();
}

QString RecordsCommands::fileFilter() {
  return QStringLiteral("Pliki programu Orvel (*.orv)");
}

QString RecordsCommands::withDefaultSuffix(const QString& fileName) {
  if (!QFileInfo(fileName).suffix().isEmpty()) return fileName;
  return fileName + QLatin1Char('.') + kSettingsSuffix;
}

QString RecordsCommands::startDirectory() const {
  return DialogFolder::start(ctx_.installationDirectory);
}

void RecordsCommands::Drukowanieparametrw1Click() {
  QPrinter printer(QPrinter::HighResolution);
  FileDialogs& dialogs = FileDialogs::current();
  aimPrinter(printer, dialogs.defaultPrinter(), reportPdfFile());
  if (!dialogs.choosePrinter(printer, ctx_.dialogParent)) return;

  // A dane.cfg that cannot be read leaves the lines the store holds; the status bar says so.
  // With none ever read there is no workshop to head the report: it is not printed without.
  const std::function<QString()> fallback = loadUserData();
  if (fallback && !ctx_.userData->everRead())
    throw AppError(QStringLiteral("Cannot open file %1").arg(userDataFile()));
  const QStringList report = reportLines(parameterListing(ctx_.userData->lines(), ctx_.editor()));

  const QString reportPath = reportFile();
  writeTextLines(reportPath, report);
  printPlainText(printer, QFileInfo(reportPath).absoluteFilePath(), report,
                 printFont(kReportPointSize));
  const QString pdf = pdfTarget(printer);
  if ((pdf.isEmpty() && !fallback) || !ctx_.setStatusText) return;
  ctx_.setStatusText([pdf, fallback] {
    QStringList status;
    if (!pdf.isEmpty()) status << pdfWrittenText(pdf);
    if (fallback) status << fallback();
    return status.join(QStringLiteral("; "));
  });
}

std::function<QString()> RecordsCommands::loadUserData() {
  const QString path = userDataFile();
  FileContent content = ctx_.userData->load(path);
  if (content.ok()) return {};
  content.bytes.clear();
  return [path, content] { return userDataFallbackText(path, content); };
}

QString unsentBeforeSavingText(const QString& fields) {
  return tr3(QStringLiteral("Zmiany nie zostały wysłane do sterownika:\r\n%1\r\n\r\n"
                            "Wyślij je (OK) albo cofnij przed zapisem do pliku: plik ma pokazywać "
                            "ustawienia sterownika."),
             QStringLiteral("Changes not sent to the controller:\r\n%1\r\n\r\n"
                            "Send them (OK) or undo them before saving: the file is to show the "
                            "controller's settings."),
             QStringLiteral("Modifiche non inviate alla centralina:\r\n%1\r\n\r\n"
                            "Inviarle (OK) o annullarle prima di salvare: il file deve mostrare "
                            "i parametri della centralina."))
      .arg(fields);
}

void RecordsCommands::Zapiszdopliku1Click() {
  if (ctx_.editor().text(QStringLiteral("EditProgTPS")).isEmpty()) {
    showMessage(plIt(QStringLiteral("Przed zapisaniem do pliku odczytaj dane ze sterownika\r\n"
                                    "za pomocą ręcznego podawania parametrów"),
                     QStringLiteral("Prima di salvare nel file leggere i dati dalla centralina\r\n"
                                    "con l'inserimento manuale dei parametri")),
                attentionTitle());
    return;
  }
  const QStringList unsent = ctx_.unsentEdits ? ctx_.unsentEdits() : QStringList();
  if (!unsent.isEmpty()) {
    showMessage(unsentBeforeSavingText(unsent.join(QStringLiteral("\r\n"))), warningTitle());
    return;
  }
  const QString chosen = FileDialogs::current().saveFileName(ctx_.dialogParent, startDirectory(),
                                                             fileFilter(), kSettingsSuffix);
  if (chosen.isEmpty()) return;
  const QString path = withDefaultSuffix(chosen);
  DialogFolder::remember(path);

  // A dane.cfg that cannot be read leaves the lines the store holds.
  const std::function<QString()> fallback = loadUserData();
  writeTextLines(path, parameterListing(ctx_.userData->lines(), ctx_.editor()));
  if (ctx_.setStatusText) {
    ctx_.setStatusText([saved = QFileInfo(path).absoluteFilePath(), fallback] {
      QString status =
          tr3("Zapisano %1", "Saved %1", "Salvato %1").arg(QDir::toNativeSeparators(saved));
      if (fallback) status += QStringLiteral("; ") + fallback();
      return status;
    });
  }
}

void RecordsCommands::Odczytajzpliku1Click() {
  const QString chosen = FileDialogs::current().openFileName(ctx_.dialogParent, startDirectory(),
                                                             fileFilter(), QString());
  if (chosen.isEmpty()) return;
  DialogFolder::remember(chosen);
  ctx_.viewer->showFile(chosen);
}

}  // namespace orvel
