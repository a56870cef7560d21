#include "records/TForm2.h"

#include "core/Dialogs.h"
#include "core/FileDialogs.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "core/TextFile.h"
#include "core/WindowPlacement.h"
#include "records/ParameterListing.h"
#include "records/TextPrinting.h"
#include "ui_TForm2.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>

namespace orvel {

namespace {

constexpr int kViewerPointSize = 10;

// A small printer for the flat print button.
QIcon printerIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1.5));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(9.5, 3.5, 13, 10));  // paper going in
  p.setBrush(QColor(150, 150, 150));
  p.drawRoundedRect(QRectF(3.5, 12.5, 25, 11), 2, 2);  // body
  p.setBrush(Qt::white);
  p.drawRect(QRectF(8.5, 19.5, 15, 9));  // paper coming out
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.drawLine(QPointF(11, 23), QPointF(21, 23));
  p.drawLine(QPointF(11, 26), QPointF(19, 26));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 160, 0));
  p.drawEllipse(QPointF(24.5, 16), 1.5, 1.5);
  return QIcon(pixmap);
}

}  // namespace

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::TForm2>()) {
  ui_->setupUi(this);
  ui_->SpeedButton1->setIcon(printerIcon());
  ui_->SpeedButton1->setIconSize(QSize(20, 20));
  ui_->RichEdit1->setFont(printFont(kViewerPointSize));
  onEvent(ui_->SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  fixSize(this);
  centreOnScreen(this);
}

TForm2::~TForm2() = default;

namespace {
const QString kTitleSeparator = QStringLiteral(" - ");
}

void TForm2::nameFileInTitle() {
  if (fileName_.isEmpty()) return;
  const QString base = windowTitle().section(kTitleSeparator, 0, 0);
  const QString titled = base + kTitleSeparator + QFileInfo(fileName_).fileName();
  if (windowTitle() != titled) setWindowTitle(titled);
}

void TForm2::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowTitleChange) nameFileInTitle();
}

QString TForm2::text() const {
  return ui_->RichEdit1->toPlainText();
}

void TForm2::showFile(const QString& path) {
  const FileContent content = readRegularFile(path, kMaxFileBytes);
  const QString shown = QDir::toNativeSeparators(path);
  switch (content.failure) {
    case FileContent::Failure::None:
      break;
    case FileContent::Failure::NotRegular:
      showMessage(tr3("To nie jest zwykły plik, nie można go wyświetlić:\r\n%1",
                      "This is not a regular file; it cannot be shown:\r\n%1",
                      "Non è un file normale, impossibile visualizzarlo:\r\n%1")
                      .arg(shown),
                  warningTitle(), MessageIcon::Warning);
      return;
    case FileContent::Failure::TooLarge:
      showMessage(tr3("Plik jest za duży, aby go wyświetlić (ponad 1 MB):\r\n%1",
                      "The file is too large to be shown (over 1 MB):\r\n%1",
                      "File troppo grande da visualizzare (oltre 1 MB):\r\n%1")
                      .arg(shown),
                  warningTitle(), MessageIcon::Warning);
      return;
    case FileContent::Failure::Missing:
    case FileContent::Failure::Unreadable:
      throw AppError(QStringLiteral("Cannot open file %1").arg(shown));
  }
  // Any bytes are shown as Windows-1250 text: a file that is not text at all still shows what it
  // holds instead of being refused.
  ui_->RichEdit1->setPlainText(decodeCp1250(content.bytes));
  fileName_ = QFileInfo(path).absoluteFilePath();
  nameFileInTitle();
  show();
  raise();
  activateWindow();
}

void TForm2::SpeedButton1Click() {
  if (fileName_.isEmpty()) return;
  const QStringList printed = withPrintMargins(splitLines(text()));
  QPrinter printer(QPrinter::HighResolution);
  aimPrinter(printer, FileDialogs::current().defaultPrinter(), fileName_ + QStringLiteral(".pdf"));
  printPlainText(printer, fileName_, printed, printFont(kViewerPointSize));
  const QString pdf = pdfTarget(printer);
  if (!pdf.isEmpty() && statusText_) statusText_([pdf] { return pdfWrittenText(pdf); });
}

}  // namespace orvel
