#include "records/TextPrinting.h"

#include "core/Dialogs.h"
#include "core/Language.h"

#include <QDir>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPainter>
#include <QPrinter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace orvel {

namespace {
constexpr qreal kPdfEdgeMm = 5.0;
}

void aimPrinter(QPrinter& printer, const std::optional<QString>& printerName,
                const QString& pdfFile) {
  if (printerName) {
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(*printerName);
    return;
  }
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdfFile);
}

QString pdfTarget(const QPrinter& printer) {
  if (printer.outputFormat() != QPrinter::PdfFormat) return QString();
  return printer.outputFileName();
}

QString pdfWrittenText(const QString& pdfFile) {
  return plIt(QStringLiteral("Wydruk zapisany do pliku %1"),
              QStringLiteral("Stampa salvata nel file %1"))
      .arg(QDir::toNativeSeparators(pdfFile));
}

QFont printFont(int pointSize) {
  QFont font(QStringLiteral("Arial"), pointSize);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

void printPlainText(QPrinter& printer, const QString& title, const QStringList& lines,
                    const QFont& font) {
  printer.setDocName(title);
  printer.setCreator(appTitle());
  // The whole printable area: the printer's own unprintable edge is the only margin. A PDF file
  // has no such edge, but is printed later on a printer that has one, so it keeps an edge of a
  // printer's usual size: nothing of the text is lost on paper.
  printer.setFullPage(false);
  if (printer.outputFormat() == QPrinter::PdfFormat) {
    printer.setPageMargins(QMarginsF(kPdfEdgeMm, kPdfEdgeMm, kPdfEdgeMm, kPdfEdgeMm),
                           QPageLayout::Millimeter);
  } else {
    const QPageLayout layout = printer.pageLayout();
    printer.setPageMargins(layout.minimumMargins(), layout.units());
  }

  QPainter painter;
  if (!painter.begin(&printer)) {
    const QString pdf = pdfTarget(printer);
    if (!pdf.isEmpty()) throw AppError(QStringLiteral("Cannot create file %1").arg(pdf));
    throw AppError(QStringLiteral("Cannot print on %1").arg(printer.printerName()));
  }

  // Laid out in the printer's own units, so that 12 pt are 12 pt on paper; a line that would
  // not fit whole on a page begins the next one.
  const QFont deviceFont(font, &printer);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  const QSizeF page = printer.pageRect(QPrinter::DevicePixel).size();
  const qreal emptyLineHeight = QFontMetricsF(deviceFont, &printer).height();
  qreal y = 0;
  bool stopped = false;
  for (const QString& line : lines) {
    QTextLayout layout(line, deviceFont, &printer);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine piece = layout.createLine(); piece.isValid(); piece = layout.createLine())
      piece.setLineWidth(page.width());
    layout.endLayout();
    for (int k = 0; k < layout.lineCount() && !stopped; ++k) {
      const QTextLine piece = layout.lineAt(k);
      if (y > 0 && y + piece.height() > page.height()) {
        if (!printer.newPage()) stopped = true;
        y = 0;
      }
      if (!stopped) piece.draw(&painter, QPointF(0, y - piece.y()));
      y += piece.height();
    }
    if (layout.lineCount() == 0) y += emptyLineHeight;
  }
  if (!painter.end()) {
    const QString pdf = pdfTarget(printer);
    if (!pdf.isEmpty()) throw AppError(QStringLiteral("Cannot create file %1").arg(pdf));
    throw AppError(QStringLiteral("Cannot print on %1").arg(printer.printerName()));
  }
}

}  // namespace orvel
