#include "monitor/ReplayFileDialog.h"

#include <QFileDialog>

namespace orvel {

namespace {
ReplayFileDialog* g_installed = nullptr;
}

ReplayFileDialog& ReplayFileDialog::current() {
  static WidgetReplayFileDialog fallback;
  return g_installed ? *g_installed : fallback;
}

void ReplayFileDialog::install(ReplayFileDialog* dialog) {
  g_installed = dialog;
}

QString WidgetReplayFileDialog::openFileName(QWidget* parent, const QString& title,
                                             const QString& directory, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, directory, filter);
}

}  // namespace orvel
