#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;

namespace orvel {

// Points a printer at the given printer, or, on a machine without any printer, at a PDF file
// (the print dialog then offers that file, and a print without a dialog writes it).
void aimPrinter(QPrinter& printer, const std::optional<QString>& printerName,
                const QString& pdfFile);

// The PDF file a print goes to; empty when it goes to a printer.
QString pdfTarget(const QPrinter& printer);

// Prints the lines of a plain text as one job titled `title`, in `font`, laid out over the whole
// printable area of each page (no margins of its own: the text carries them) and flowing on over as
// many pages as it needs. Long lines wrap at the page edge. Raises "Cannot create file %s" when the
// PDF file cannot be written, or the printer's error when it refuses the job.
void printPlainText(QPrinter& printer, const QString& title, const QStringList& lines,
                    const QFont& font);

// The status text after a print went into a PDF file.
QString pdfWrittenText(const QString& pdfFile);

// The font of the report (12 pt) and of the viewer (10 pt): Arial, or the metric-compatible
// face the system has for it (Liberation Sans).
QFont printFont(int pointSize);

}  // namespace orvel
