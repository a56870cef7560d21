#include "core/Dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace orvel {

QString appTitle() {
  return QStringLiteral("Orvel 2001-2.2");
}

ConversionError::ConversionError(const QString& text)
    : AppError(QStringLiteral("'%1' is not a valid integer value").arg(text)) {}

namespace {
Dialogs* g_installed = nullptr;
}

Dialogs& Dialogs::current() {
  static WidgetDialogs fallback;
  return g_installed ? *g_installed : fallback;
}

void Dialogs::install(Dialogs* dialogs) {
  g_installed = dialogs;
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
  QMessageBox box(boxIcon, title, text, QMessageBox::Ok, QApplication::activeWindow());
  box.setObjectName(QStringLiteral("MessageBox"));
  box.exec();
}

void showMessage(const QString& text, const QString& title, MessageIcon icon) {
  Dialogs::current().message(text, title, icon);
}

void showErrorBox(const QString& text) {
  showMessage(text + QLatin1Char('.'), appTitle(), MessageIcon::Error);
}

}  // namespace orvel
