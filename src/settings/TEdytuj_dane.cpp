#include "settings/TEdytuj_dane.h"

#include "app/WindowPlacement.h"
#include "ui_TEdytuj_dane.h"

#include <QCloseEvent>

namespace orvel {

TEdytuj_dane::TEdytuj_dane(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint),
      ui_(std::make_unique<Ui::TEdytuj_dane>()) {
  ui_->setupUi(this);
  fixSize(this);
  centreOnScreen(this);
}

TEdytuj_dane::~TEdytuj_dane() = default;

void TEdytuj_dane::closeEvent(QCloseEvent* event) {
  event->accept();
  Q_EMIT closedByUser();
}

}  // namespace orvel
