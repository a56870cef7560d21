#pragma once

#include "records/ParameterListing.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace orvel {

class TForm2;
class UserData;

// The refusal to save while the open editor holds edits not sent, naming them one a line.
QString unsentBeforeSavingText(const QString& fields);

// The records commands of the main window's "&Opcje" menu: the printed parameter report
// ("Drukowanie parametrów", Ctrl+P), saving the settings to a file ("Zapisz do pliku", Ctrl+S)
// and opening a file in the viewer ("Odczytaj z pliku", Ctrl+O). The dialogs go through
// FileDialogs, the message boxes through Dialogs.
class RecordsCommands {
 public:
  struct Context {
    QString installationDirectory;
    UserData* userData = nullptr;  // the user-data window's store of dane.cfg
    TForm2* viewer = nullptr;
    std::function<EditorSnapshot()> editor;  // what the settings editor shows now
    // The main window's status bar; the text is made again in a new interface language.
    std::function<void(std::function<QString()>)> setStatusText;
    QWidget* dialogParent = nullptr;
    // The open editor's fields whose edits have not been sent; none while it is closed.
    std::function<QStringList()> unsentEdits;
  };

  explicit RecordsCommands(Context context);

  QString userDataFile() const;
  QString reportFile() const;     // param.cfg
  QString reportPdfFile() const;  // param.pdf, where the report goes on a machine with no printer

  // The report: the print dialog (cancel: nothing happens), dane.cfg read (a file that cannot be
  // read: the lines read from it before, and the status bar names the file; none ever read:
  // "Cannot open file %s", nothing written or printed), the listing with its margins
  // written to param.cfg (failure: "Cannot create file %s", nothing printed), then printed as one
  // job titled with param.cfg's full path.
  void Drukowanieparametrw1Click();
  // Refused before any read-out, and while the open editor holds edits not sent (the file would
  // show settings the controller does not have); then the save dialog, dane.cfg read as it is (a
  // failure keeps the stored lines and is named in the status bar), the listing written to the
  // chosen file, replaced atomically, and the file named in the status bar.
  void Zapiszdopliku1Click();
  // The open dialog, then the chosen file in the viewer.
  void Odczytajzpliku1Click();

  // The filter of the settings-file dialogs and the extension a name without one gets.
  static QString fileFilter();
  static QString withDefaultSuffix(const QString& fileName);

 private:
  QString startDirectory() const;
  // Reads dane.cfg into the store; the status text naming it when it could not be read.
  // Nothing when dane.cfg was read; otherwise what the status bar says about it.
  std::function<QString()> loadUserData();

  Context ctx_;
};

}  // namespace orvel
