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

void TAboutBox::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  Q_EMIT hidden();
}

void TAboutBox::applyCaptions(Language language) {
  switch (language) {
    case Language::Polish:
      ui_->Version->setText(QStringLiteral("Wersja 2.2    03.01.2002"));
      setWindowTitle(QStringLiteral("O programie"));
      break;
    case Language::English:
      ui_->Version->setText(QStringLiteral("Version 2.2    03.01.2002"));
      setWindowTitle(QStringLiteral("About"));
      break;
    case Language::Italian:
      ui_->Version->setText(QStringLiteral("Wersione 2.2    3.01.2002"));
      setWindowTitle(QStringLiteral("Su programma"));
      break;
  }
}

}  // namespace orvel
