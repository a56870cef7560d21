#include "service/TForm7.h"

#include "core/WindowPlacement.h"
#include "service/CommandReference.h"
#include "ui_TForm7.h"

#include <QFontMetricsF>

namespace orvel {

TForm7::TForm7(QWidget* parent) : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::TForm7>()) {
  ui_->setupUi(this);
  QPlainTextEdit* text = ui_->Memo1;
  text->setPlainText(referenceText());
  // A tab reaches as far as eight spaces, so that entries indented either way line up.
  text->setTabStopDistance(QFontMetricsF(text->font()).horizontalAdvance(QString(8, u' ')));
  centreOnScreen(this);
}

TForm7::~TForm7() = default;

}  // namespace orvel
