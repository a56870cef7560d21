#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class TForm2;
}

namespace orvel {

// The file viewer ("Odczyt pliku"), created once at start, not modal: shows a settings file, or
// any text file, as Windows-1250 plain text and prints it. Nothing in the file is parsed and
// nothing goes to the controller.
class TForm2 : public QWidget {
  Q_OBJECT
 public:
  // The viewer shows files of at most this size; a bigger one is refused with a message rather
  // than freezing the window over it.
  static constexpr qint64 kMaxFileBytes = 1024 * 1024;

  explicit TForm2(QWidget* parent = nullptr);
  ~TForm2() override;
  Ui::TForm2& ui() { return *ui_; }

  // Where a print's status goes (the main window's status bar, which makes the text again in a
  // new interface language). Set once by the wiring.
  using StatusSink = std::function<void(std::function<QString()>)>;
  void setStatusText(StatusSink sink) { statusText_ = std::move(sink); }

  // Loads the file into the text area, replacing what it showed, and shows the window. A file
  // that cannot be shown (missing, unreadable, not a regular file, too big) leaves the viewer as
  // it was and unshown: "Cannot open file %s" is raised, or a message says why.
  void showFile(const QString& path);
  // The file last loaded, as its full path; the print job's title.
  const QString& fileName() const { return fileName_; }
  QString text() const;

  // The print button: the text with the report's margins on the default printer, without a
  // dialog; on a machine with no printer into "<file>.pdf" beside the file. The margins go on a
  // copy: the viewer keeps showing the file as loaded, and every print is the same.
  void SpeedButton1Click();

 protected:
  // Whatever sets the caption (the language tables), the file's name stays after it.
  void changeEvent(QEvent* event) override;

 private:
  void nameFileInTitle();

  std::unique_ptr<Ui::TForm2> ui_;
  StatusSink statusText_;
  QString fileName_;
};

}  // namespace orvel
