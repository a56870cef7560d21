#include "core/Dialogs.h"

#include "core/Language.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

namespace orvel {

QString appTitle() {
  return QStringLiteral("Orvel 2001-2.2");
}

ConversionError::ConversionError(const QString& text)
    : AppError(QStringLiteral("'%1' is not a valid integer value").arg(text)) {}

namespace {
Dialogs* g_installed = nullptr;
bool g_unattended = false;
}  // namespace

void Dialogs::report(const QString& text, const QString& title) {
  QString line = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
  line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
  std::fflush(stderr);
}

void Dialogs::setUnattended(bool unattended) {
  g_unattended = unattended;
}

bool Dialogs::unattended() {
  return g_unattended;
}

void endModalWindows() {
  // A window that refuses to go (its close handler keeps it) must not hold the loop for ever.
  for (int left = 32; left > 0; --left) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
  }
}

Dialogs& Dialogs::current() {
  static WidgetDialogs fallback;
  return g_installed ? *g_installed : fallback;
}

void Dialogs::install(Dialogs* dialogs) {
  g_installed = dialogs;
}

namespace {

bool usable(const QWidget* w) {
  return w && w->isWindow() && w->isVisible() && !w->isMinimized() &&
         (w->windowType() == Qt::Window || w->windowType() == Qt::Dialog);
}

bool staysOnTop(const QWidget* w) {
  return w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

}  // namespace

QWidget* dialogParent(QWidget* preferred) {
  // A modal dialog already open is where the fitter is looking, and the only window he can use.
  QWidget* modal = QApplication::activeModalWidget();
  if (usable(modal)) return modal;
  QWidget* active = QApplication::activeWindow();
  if (usable(active) && staysOnTop(active)) return active;
  const QWidgetList windows = QApplication::topLevelWidgets();
  for (QWidget* w : windows) {
    if (usable(w) && staysOnTop(w)) return w;
  }
  if (usable(active)) return active;
  if (preferred && usable(preferred->window())) return preferred->window();
  for (QWidget* w : windows) {
    if (usable(w)) return w;
  }
  return preferred;
}

void keepAboveParent(QWidget& dialog) {
  const QWidget* parent = dialog.parentWidget();
  if (parent && staysOnTop(parent->window())) dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
}

void WidgetDialogs::message(const QString& text, const QString& title, MessageIcon icon) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::None:
      break;
    case MessageIcon::Information:
      boxIcon = QMessageBox::Information;
      break;
    case MessageIcon::Warning:
      boxIcon = QMessageBox::Warning;
      break;
    case MessageIcon::Error:
      boxIcon = QMessageBox::Critical;
      break;
  }
  QMessageBox box(boxIcon, title, text, QMessageBox::Ok, dialogParent());
  box.setObjectName(QStringLiteral("MessageBox"));
  keepAboveParent(box);
  box.exec();
}

Answer WidgetDialogs::ask(const QString& text, const QString& title, const QStringList& buttons) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setObjectName(QStringLiteral("QuestionBox"));
  QPushButton* first = box.addButton(buttons.value(0), QMessageBox::AcceptRole);
  QPushButton* second = box.addButton(buttons.value(1), QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton(buttons.value(2), QMessageBox::RejectRole);
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == first) return Answer::First;
  if (box.clickedButton() == second) return Answer::Second;
  return Answer::Cancel;
}

Answer askQuestion(const QString& text, const QString& title, const QStringList& buttons) {
  if (Dialogs::unattended()) {
    Dialogs::current().report(text + QStringLiteral(" [") + buttons.value(2) + QLatin1Char(']'),
                              title);
    return Answer::Cancel;
  }
  return Dialogs::current().ask(text, title, buttons);
}

QString invalidEntryText(const QString& allowed) {
  QString text = plIt(QStringLiteral("Nieprawidłowa wartość"), QStringLiteral("Dati fuori limiti"));
  // The values allowed are the program's own addition, in the interface language.
  if (!allowed.isEmpty())
    text += QStringLiteral("\r\n") + tr3("Dozwolone: ", "Allowed values: ", "Valori ammessi: ") +
            allowed;
  return text;
}

QString invalidEntryTitle() {
  return plIt(QStringLiteral("Uwaga"), QStringLiteral("Errore"));
}

void showInvalidEntry(const QString& allowed) {
  showMessage(invalidEntryText(allowed), invalidEntryTitle(), MessageIcon::Warning);
}

void showMessage(const QString& text, const QString& title, MessageIcon icon) {
  if (Dialogs::unattended()) {
    Dialogs::current().report(text, title);
    return;
  }
  Dialogs::current().message(text, title, icon);
}

void showErrorBox(const QString& text) {
  showMessage(text + QLatin1Char('.'), appTitle(), MessageIcon::Error);
}

}  // namespace orvel
