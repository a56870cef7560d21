#include "service/TForm7.h"

#include "core/WindowPlacement.h"
#include "ui_TForm7.h"

namespace orvel {

TForm7::TForm7(QWidget* parent) : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::TForm7>()) {
  ui_->setupUi(this);
  centreOnScreen(this);
}

TForm7::~TForm7() = default;

}  // namespace orvel
