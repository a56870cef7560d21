#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <exception>
#include <utility>

class QWidget;

namespace orvel {

// The program's caption, used as the title of the main window and of the standard error box.
QString appTitle();

// An error that ends the event handler in which it is raised. The handler's guard shows it in
// the standard error box and the program carries on, so that a failing port or file never takes
// the program down.
class AppError : public std::exception {
 public:
  explicit AppError(QString text) : text_(std::move(text)), utf8_(text_.toUtf8()) {}
  const QString& text() const noexcept { return text_; }
  const char* what() const noexcept override { return utf8_.constData(); }

 private:
  QString text_;
  QByteArray utf8_;
};

// "'x' is not a valid integer value": the message for a number the user typed that is not one.
class ConversionError : public AppError {
 public:
  explicit ConversionError(const QString& text);
};

// A failure the user has already been shown once: it ends the handler like any error, and the
// guard adds no second box for it.
class ReportedError : public AppError {
 public:
  ReportedError() : AppError(QString()) {}
};

enum class MessageIcon { None, Information, Warning, Error };

// The answer to a question with three buttons: the first, the second, or the third, which is
// also what closing the box or Escape gives.
enum class Answer { First, Second, Cancel };

// Every message box of the program goes through here, so that tests can record messages instead
// of blocking on a modal box. Messages have a single OK button; a question has three.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void message(const QString& text, const QString& title, MessageIcon icon) = 0;
  // buttons: the captions of the three answers, in order. Enter, Escape and closing the box give
  // the third: a key pressed without reading acts on nothing.
  virtual Answer ask(const QString& text, const QString& title, const QStringList& buttons) = 0;
  // A box while nobody is there to answer it (see setUnattended): written to standard error.
  virtual void report(const QString& text, const QString& title);

  static Dialogs& current();
  // Installs a replacement (not owned); nullptr restores the default widget implementation.
  static void install(Dialogs* dialogs);

  // The program is closing on a signal (a logout, `kill`): from now on no box waits for a
  // person. Messages are reported instead of shown, questions take their third answer, and the
  // standard file and print dialogs are cancelled.
  static void setUnattended(bool unattended);
  static bool unattended();
};

// Ends every modal window that is open as its Escape would (a question takes its third answer,
// a file dialog is cancelled), innermost first. Their event loops return once the caller is back
// in them.
void endModalWindows();

// The window a box or a standard dialog opens over. A window of the program that stays on top
// (the settings editor, the user-data window) is chosen while one is visible, the active one of
// them first: a box parented anywhere else would open behind it and the program would look
// frozen. Otherwise the active window, then the preferred window, then any visible window.
QWidget* dialogParent(QWidget* preferred = nullptr);
// Lifts a dialog into its parent's stay-on-top layer, before it is shown: window managers keep a
// transient dialog over its parent, but not all of them lift it into that layer.
void keepAboveParent(QWidget& dialog);

// Modal QMessageBox with one OK button, over dialogParent().
class WidgetDialogs : public Dialogs {
 public:
  void message(const QString& text, const QString& title, MessageIcon icon) override;
  Answer ask(const QString& text, const QString& title, const QStringList& buttons) override;
};

void showMessage(const QString& text, const QString& title, MessageIcon icon = MessageIcon::None);

Answer askQuestion(const QString& text, const QString& title, const QStringList& buttons);

// A number typed where the program cannot take it: "Nieprawidłowa wartość" (Italian "Dati fuori
// limiti") titled "Uwaga" ("Errore"), then the values that are allowed, told in the interface
// language.
QString invalidEntryText(const QString& allowed);
QString invalidEntryTitle();
void showInvalidEntry(const QString& allowed);

// The standard error box: the error text with a full stop appended, the program's caption as the
// title, an error icon.
void showErrorBox(const QString& text);

// Runs an event handler; an error it raises is shown in the standard error box and ends only
// that handler. Every entry point from the event loop (clicks, timers, received bytes) goes
// through this, so no exception ever unwinds through Qt's own frames.
template <typename F>
void guarded(F&& handler) noexcept {
  try {
    std::forward<F>(handler)();
  } catch (const ReportedError&) {
  } catch (const AppError& e) {
    showErrorBox(e.text());
  } catch (const std::exception& e) {
    showErrorBox(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    showErrorBox(QStringLiteral("Unknown error"));
  }
}

}  // namespace orvel
