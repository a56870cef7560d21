#pragma once

#include "archive/ArchiveExchange.h"
#include "archive/ArchiveList.h"
#include "archive/ArchivedSettings.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTableView;
class QTableWidget;

namespace orvel {

// The write-back's confirm button: with changes to send, and with only the EEPROM write left.
QStringList writeBackConfirmCaptions();

// The archive window: the list of kept read-outs, one read-out's parameter listing, two side by
// side, and the commands that compare a read-out with the controller, import a settings file
// and write a read-out back. It binds controls only; the archive's logic lives in the store,
// the import, the settings comparison and the exchange.
class ArchiveWindow : public QWidget {
 public:
  struct Context {
    ArchiveRecorder* recorder = nullptr;
    ArchiveExchange* exchange = nullptr;
    std::function<EditorSnapshot()> editorCaptions;  // the editor's captions now
    CaptionLookup caption;                           // any of the editor's captions by name
    std::function<QStringList()> userDataLines;      // dane.cfg as it is now
    std::function<CarLines()> currentCar;            // the car lines of the F2 window now
    // The controller is free for a new exchange (F5 could start one now).
    std::function<bool()> controllerFree;
    // The service console is open: every byte the controller sends goes there.
    std::function<bool()> consoleOpen;
  };

  explicit ArchiveWindow(Context context);

  // Reads the list again and shows the window, all of it on the screen.
  void open();
  // A read-out reached the archive: an open window lists it at once, keeping what it shows.
  void rowAdded();
  // After the interface language changed: the headings, the page and the result line are told
  // again in it.
  void retranslate();
  ArchiveListModel& listModel() { return model_; }
  // The ids of the selected rows, in list order.
  QList<qint64> selectedIds() const;
  void selectIds(const QList<qint64>& ids);
  // Where the archive stands with the workshop server; empty text: no server, no line.
  void showServerStatus(const QString& text, bool trouble);
  // Rows came from elsewhere: the list is read again unless the fitter is in the middle of
  // something in the window.
  void archiveChanged();

 protected:
  // Whatever exchange the window started ends with it: the communication it holds open ends and
  // the main commands come back.
  void hideEvent(QHideEvent* event) override;

 private:
  void reload(const QList<qint64>& select = {});
  // The list read again; the selection and the page shown stay.
  void refreshList();
  void selectionChanged();
  void updateButtons();
  void startExchange(bool write);
  // The car the new rows of an exchange belong to: asked when the record's car and the F2
  // window's differ; nothing when the fitter called it off.
  std::optional<CarLines> carForNewRows(const Readout& record);
  void showListing(const Readout& readout);
  void showComparison(const Readout& left, const Readout& right);
  void showPlan(const WritePlan& plan);
  void showWriteReport(const WriteReport& report);
  void drawComparison(const Readout& left, const Readout& right);
  void drawPlan(const WritePlan& plan);
  void drawWriteReport(const WriteReport& report);
  std::optional<Readout> selectedReadout();
  QStringList listingOf(const Readout& readout) const;
  void saveToFile();
  void print();
  void importFile();
  void storeNote();
  void setBusy(bool busy);
  void storeProblem();
  // Another exchange (the editor, the wizard) holds the controller: the fitter is told so.
  bool controllerTaken();
  // The result line; a text made here is made again when the language changes.
  void setResult(std::function<QString()> text);
  void setResult(const QString& text);
  // Draws the page and remembers how, so that a change of language draws it again.
  void showPage(std::function<void()> draw);

  Context ctx_;
  ArchiveListModel model_;
  QLineEdit* filter_;
  QTableView* list_;
  QLineEdit* note_;
  QStackedWidget* pages_;
  QPlainTextEdit* listing_;
  QTableWidget* table_;
  QLabel* result_;
  QLabel* server_;
  QPushButton* saveButton_;
  QPushButton* printButton_;
  QPushButton* compareButton_;
  QPushButton* importButton_;
  QPushButton* writeButton_;
  QPushButton* confirmButton_;
  QPushButton* cancelButton_;
  std::function<void()> page_;
  std::function<QString()> resultText_;
  qint64 noteId_ = 0;
  bool busy_ = false;
  QString lastDirectory_;
};

}  // namespace orvel
