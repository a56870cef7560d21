#pragma once

#include "archive/ArchiveExchange.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace orvel {

// The words of a write-back, in the interface language: what the confirmation says will happen,
// each setting's result, and the summary. None of them says more than the read-back showed.

// The two car lines as one text, or a word for none.
QString carLinesText(const CarLines& car);
// The confirmation under the plan, before anything is sent.
QString writePlanText(const WritePlan& plan, const CarLines& car);
// A value of the record the plan leaves out, and why.
QString notSentText(const WriteStep& step);
// One step's result in the report.
QString stepResultText(const WriteStep& step, StepOutcome outcome, const CaptionLookup& caption);
// The settings the plan did not touch (or did) whose bytes in the controller still differ from
// the record's though both show alike, with why; in the order of the settings.
struct ByteDifferenceRow {
  Setting setting;
  QString note;
};
std::vector<ByteDifferenceRow> byteDifferencesAfterWrite(const WriteReport& report);
// The summary: what was checked and what it showed, what was left out, and the EEPROM write.
QString writeSummaryText(const WriteReport& report, const CaptionLookup& caption);
// The report is told in a box as well: it ended before the read-back, or was cut short.
bool writeSummaryNeedsBox(const WriteReport& report);

}  // namespace orvel
