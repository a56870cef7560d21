#include "app/TAboutBox.h"

#include "core/Artwork.h"
#include "core/WindowPlacement.h"
#include "ui_TAboutBox.h"

namespace orvel {

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::TAboutBox>()) {
  ui_->setupUi(this);
  ui_->ProgramIcon->setPixmap(aboutPicture());
  QFont product = ui_->ProductName->font();
  product.setBold(true);
  product.setPointSize(product.pointSize() + 3);
  ui_->ProductName->setFont(product);
  connect(ui_->OKButton, &QPushButton::clicked, this, &QDialog::accept);
  fixSize(this);
  centreOnScreen(this);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::retranslate() {
  ui_->ProgramIcon->setPixmap(aboutPicture());
}

void TAboutBox::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  Q_EMIT hidden();
}

}  // namespace orvel
