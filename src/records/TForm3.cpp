#include "records/TForm3.h"

#include "core/WindowPlacement.h"
#include "ui_TForm3.h"

namespace orvel {

TForm3::TForm3(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), ui_(std::make_unique<Ui::TForm3>()) {
  ui_->setupUi(this);
  fixSize(this);
  centreOnScreen(this);
}

TForm3::~TForm3() = default;

}  // namespace orvel
