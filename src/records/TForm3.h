#pragma once

#include "records/UserData.h"

#include <QDialog>
#include <QHash>

#include <memory>

class QLineEdit;
namespace Ui {
class TForm3;
}

namespace orvel {

// "Użytkownik programu/dane samochodu": the workshop's data from dane.cfg, read-only unless the
// "Edytuj dane warsztatu" switch is on, and the two car lines that head the printed report. Created
// once at start, shown and hidden; the main window is disabled while it is shown and given back
// however it is hidden (see hidden()).
class TForm3 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm3(QWidget* parent = nullptr);
  ~TForm3() override;
  Ui::TForm3& ui() { return *ui_; }

  // Where dane.cfg is: the installation directory's. Set once, before the window is first shown.
  void setUserDataFile(const QString& path) { userDataFile_ = path; }
  // The hidden store of dane.cfg that the window, the report and the settings file share.
  UserData& userData() { return RichEdit1; }

  // Opening ("Użytkownik programu", F2): reads dane.cfg into the store (a file that cannot be
  // read leaves the store as it was, without a message), fills the fields and shows the window.
  void showUserData();
  // "&Zapisz": the workshop's lines into lines 0..4, the hidden field and the car lines into
  // lines 5..7, dane.cfg written, the window
  // hidden. A file that cannot be written raises its error and the window stays open. A file
  // that exists but could not be read is never replaced (the store holds less than it): one
  // message names it and the reason, the car lines stay in the store for the report, and the
  // window is hidden.
  void SpeedButton2aClick();
  // "&Anuluj": hides the window; nothing is saved.
  void SpeedButton1aClick();

 Q_SIGNALS:
  void hidden();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void setFieldText(QLineEdit* field, const QString& text);
  QList<QLineEdit*> workshopLines() const;
  void setWorkshopEditable(bool editable);
  void keepTypingLimit(QLineEdit* field);

  std::unique_ptr<Ui::TForm3> ui_;
  UserData RichEdit1;
  QString userDataFile_;
  FileContent lastLoad_;  // what came of the reading when the window opened
  QHash<const QLineEdit*, int> designLengths_;
};

}  // namespace orvel
