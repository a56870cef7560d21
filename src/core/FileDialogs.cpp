#include "core/FileDialogs.h"

#include "core/Dialogs.h"
#include "core/Language.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace orvel {

namespace {
FileDialogs* g_installed = nullptr;
QString g_lastFolder;
std::vector<QString> g_guarded;  // database paths, their folder resolved

const char* const kJournalSuffixes[] = {"", "-wal", "-shm", "-journal"};

// The folder resolved through its links, the name kept: a file that does not exist yet (a name
// typed into a save dialog) is placed as well as one that does.
QString placed(const QString& path) {
  const QFileInfo info(path);
  const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
  return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
}

bool sameFileOnDisk(const QString& a, const QString& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
         ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Icons and type names from the file name alone. Qt's own provider asks the MIME database, which
// opens any file whose name does not settle its type (a "-wal" file) to read its first bytes.
class NameOnlyIconProvider : public QFileIconProvider {
 public:
  NameOnlyIconProvider()
      : file_(QFileIconProvider::icon(File)),
        folder_(QFileIconProvider::icon(Folder)),
        drive_(QFileIconProvider::icon(Drive)) {}
  QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
  QIcon icon(const QFileInfo& info) const override {
    if (info.isRoot()) return drive_;
    return info.isDir() ? folder_ : file_;
  }
  QString type(const QFileInfo& info) const override {
    if (info.isDir()) return QFileIconProvider::type(info);
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
  }

 private:
  QIcon file_;
  QIcon folder_;
  QIcon drive_;
};

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

// What every caller gets: the dialogs of the moment, with guarded files refused.
class GuardingFileDialogs : public FileDialogs {
 public:
  FileDialogs& target() {
    static WidgetFileDialogs widgets;
    static DecliningFileDialogs declining;
    if (Dialogs::unattended()) return declining;
    return g_installed ? *g_installed : widgets;
  }
  std::optional<QString> defaultPrinter() override { return target().defaultPrinter(); }
  bool choosePrinter(QPrinter& printer, QWidget* parent) override {
    if (!target().choosePrinter(printer, parent)) return false;
    return printer.outputFileName().isEmpty() || allowed(printer.outputFileName());
  }
  QString saveFileName(QWidget* parent, const QString& directory, const QString& filter,
                       const QString& defaultSuffix) override {
    const QString path = target().saveFileName(parent, directory, filter, defaultSuffix);
    return allowed(path) ? path : QString();
  }
  QString openFileName(QWidget* parent, const QString& directory, const QString& filter,
                       const QString& title) override {
    const QString path = target().openFileName(parent, directory, filter, title);
    return allowed(path) ? path : QString();
  }

 private:
  static bool allowed(const QString& path) {
    if (path.isEmpty() || !GuardedFiles::isGuarded(path)) return true;
    showMessage(GuardedFiles::refusalText(path), warningTitle(), MessageIcon::Warning);
    return false;
  }
};

}  // namespace

void useNameOnlyFileDialog(QFileDialog& dialog) {
  // Made once, on the first dialog, and kept to the end: the dialogs' file models use it from
  // their own threads as long as they live.
  static auto* provider = new NameOnlyIconProvider;
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setIconProvider(provider);
}

void GuardedFiles::guard(const QString& databasePath) {
  const QString path = placed(databasePath);
  if (std::find(g_guarded.begin(), g_guarded.end(), path) == g_guarded.end())
    g_guarded.push_back(path);
}

bool GuardedFiles::isGuarded(const QString& path) {
  if (path.isEmpty() || g_guarded.empty()) return false;
  const QString candidate = placed(path);
  const QString target = QFileInfo(path).canonicalFilePath();  // where a link leads
  for (const QString& database : g_guarded) {
    for (const char* suffix : kJournalSuffixes) {
      const QString guarded = database + QLatin1String(suffix);
      if (candidate == guarded || target == guarded || sameFileOnDisk(path, guarded)) return true;
    }
  }
  return false;
}

QString GuardedFiles::refusalText(const QString& path) {
  return tr3("Plik %1 należy do archiwum warsztatu, którego program właśnie używa; program go "
             "nie otwiera i nie zapisuje.\r\nWybierz inny plik.",
             "The file %1 belongs to the workshop archive, which the program is using; the "
             "program neither opens nor writes it.\r\nChoose another file.",
             "Il file %1 appartiene all'archivio dell'officina, che il programma sta usando; il "
             "programma non lo apre e non lo scrive.\r\nScegliere un altro file.")
      .arg(QDir::toNativeSeparators(path));
}

void GuardedFiles::forget() {
  g_guarded.clear();
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

FileDialogs& FileDialogs::current() {
  static GuardingFileDialogs guarding;
  return guarding;
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
  useNameOnlyFileDialog(dialog);
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
  useNameOnlyFileDialog(dialog);
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  keepAboveParent(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

}  // namespace orvel
