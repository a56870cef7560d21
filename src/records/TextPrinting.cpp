#include "records/TextPrinting.h"

#include "core/Dialogs.h"
#include "core/Language.h"
#include "core/TextFile.h"

#include <QBuffer>
#include <QDir>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPainter>
#include <QPdfWriter>
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
  return tr3("Wydruk zapisany do pliku %1", "Printout saved to the file %1",
             "Stampa salvata nel file %1")
      .arg(QDir::toNativeSeparators(pdfFile));
}

QFont printFont(int pointSize) {
  QFont font(QStringLiteral("Arial"), pointSize);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

namespace {

// Lays the lines out page after page over the paint rectangle of each page, in the device's own
// units, so that 12 pt are 12 pt on paper. A line that would not fit whole on a page begins the
// next one; a line wider than the page wraps.
bool paintPages(QPagedPaintDevice& device, const QRectF& paintRect, const QStringList& lines,
                const QFont& font) {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  const QFont deviceFont(font, &device);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  const QSizeF page = paintRect.size();
  const qreal emptyLineHeight = QFontMetricsF(deviceFont, &device).height();
  qreal y = 0;
  for (const QString& line : lines) {
    QTextLayout layout(line, deviceFont, &device);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine piece = layout.createLine(); piece.isValid(); piece = layout.createLine())
      piece.setLineWidth(page.width());
    layout.endLayout();
    for (int k = 0; k < layout.lineCount(); ++k) {
      const QTextLine piece = layout.lineAt(k);
      if (y > 0 && y + piece.height() > page.height()) {
        if (!device.newPage()) return false;
        y = 0;
      }
      piece.draw(&painter, QPointF(0, y - piece.y()));
      y += piece.height();
    }
    if (layout.lineCount() == 0) y += emptyLineHeight;
  }
  return painter.end();
}

}  // namespace

void printPlainText(QPrinter& printer, const QString& title, const QStringList& lines,
                    const QFont& font) {
  printer.setDocName(title);
  printer.setCreator(appTitle());
  // The whole printable area: the printer's own unprintable edge is the only margin. A PDF file
  // has no such edge, but is printed later on a printer that has one, so it keeps an edge of a
  // printer's usual size: nothing of the text is lost on paper.
  printer.setFullPage(false);
  const QString pdf = pdfTarget(printer);
  if (pdf.isEmpty()) {
    const QPageLayout layout = printer.pageLayout();
    printer.setPageMargins(layout.minimumMargins(), layout.units());
    if (!paintPages(printer, printer.pageRect(QPrinter::DevicePixel), lines, font))
      throw AppError(
          tr3("Nie można drukować na %1", "Cannot print on %1", "Impossibile stampare su %1")
              .arg(printer.printerName()));
    return;
  }

  // The PDF engine does not notice a write that fails (a full disk) and would leave a cut file
  // behind a report of success: the document is made in memory and replaces the file as every
  // file of the program does, atomically and checked.
  printer.setPageMargins(QMarginsF(kPdfEdgeMm, kPdfEdgeMm, kPdfEdgeMm, kPdfEdgeMm),
                         QPageLayout::Millimeter);
  QBuffer document;
  document.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&document);
    writer.setTitle(title);
    writer.setCreator(appTitle());
    writer.setResolution(printer.resolution());
    writer.setPageLayout(printer.pageLayout());
    const QRectF paintRect = writer.pageLayout().paintRectPixels(writer.resolution());
    if (!paintPages(writer, paintRect, lines, font))
      throw AppError(QStringLiteral("Cannot create file %1").arg(pdf));
  }
  writeFileBytes(pdf, document.data());
}

}  // namespace orvel
