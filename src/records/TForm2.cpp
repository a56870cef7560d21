#include "records/TForm2.h"

#include "core/WindowPlacement.h"
#include "ui_TForm2.h"

namespace orvel {

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::TForm2>()) {
  ui_->setupUi(this);
  fixSize(this);
  centreOnScreen(this);
}

TForm2::~TForm2() = default;

}  // namespace orvel
