#include "records/ParameterListing.h"

#include <array>

namespace orvel {

namespace {

// A caption line and the value line under it. A caption of several pieces joins them with one
// blank, a value of several fields with "; ".
struct PairRow {
  QStringList caption;
  QStringList values;
};

const std::array<PairRow, 16>& pairRows() {
  static const std::array<PairRow, 16> rows{{
      {{"Label4"}, {"EditProgTPS"}},                        // 13, 14 TPS threshold
      {{"Label5"}, {"EditProgGB"}},                         // 15, 16 changeover rpm
      {{"Label7"}, {"EditProgLambda"}},                     // 17, 18 lambda threshold
      {{"Label13"}, {"Edit5"}},                             // 19, 20 start delay
      {{"Label11"}, {"Editobrotymax"}},                     // 21, 22 maximum rpm on gas
      {{"Label15"}, {"Edit4"}},                             // 23, 24 opening for acceleration
      {{"Label3"}, {"Edit6"}},                              // 25, 26 steps with gas low (hidden)
      {{"Label16"}, {"Edit3"}},                             // 27, 28 delta on falling rpm
      {{"Label1"}, {"EditThLambda", "EditOkresLambda"}},    // 29, 30 lambda 1 TH; TL
      {{"Label2"}, {"EditThLambda2", "EditOkresLambda2"}},  // 31, 32 lambda 2 TH; TL
      {{"Label8"}, {"Editsilnikmax", "EditSilnikmin"}},     // 33, 34 stepper max; min
      {{"Label10"}, {"EditSilnikopt"}},                     // 35, 36 stepper start
      {{"Label9"}, {"Edit1"}},                              // 37, 38 cut-off position
      {{"Label6"}, {"Edit2"}},                              // 39, 40 cut-off rpm
      {{"Label18", "Label22"}, {"Edit7"}},                  // 41, 42 stepper speed below TPS
      {{"Label18", "Label23"}, {"Edit8"}},                  // 43, 44 stepper speed above TPS
  }};
  return rows;
}

// An option line: the radio group's caption and the word for its selection. Anything but the
// first item selected, none at all included, reads as the second word.
struct OptionRow {
  const char* group;
  FlagRadio radio;
  QString firstItem;
  QString otherItem;
};

const std::array<OptionRow, 4>& optionRows() {
  static const std::array<OptionRow, 4> rows{{
      {"RadioGroup3", FlagRadio::OperatingMode, QStringLiteral(":   Praca dynamiczna"),
       QStringLiteral(":   Praca ekonomiczna")},
      {"RadioGroup4", FlagRadio::GasSensor, QStringLiteral(":   Brak"),
       QStringLiteral(":   Obecny")},
      {"RadioGroup2", FlagRadio::Tps, QStringLiteral(":   Rosnący"),
       QStringLiteral(":   Malejący")},
      {"RadioGroup5", FlagRadio::SpeedSignal, QStringLiteral(":   Rosnące"),
       QStringLiteral(":   Malejące")},
  }};
  return rows;
}

constexpr int kUserDataLines = 8;
constexpr int kGapLines = 5;
constexpr int kMarginLines = 50;
const QString kLeftMargin = QStringLiteral("     ");

QString joined(const EditorSnapshot& editor, const QStringList& controls, const QString& glue) {
  QStringList pieces;
  for (const QString& control : controls)
    pieces << editor.text(control);
  return pieces.join(glue);
}

}  // namespace

int EditorSnapshot::selectedItem(FlagRadio radio) const {
  const auto it = selected.find(radio);
  return it == selected.end() ? -1 : it->second;
}

QStringList listingControls() {
  QStringList controls;
  for (const PairRow& row : pairRows()) {
    for (const QString& c : row.caption)
      if (!controls.contains(c)) controls << c;
    controls << row.values;
  }
  for (const OptionRow& row : optionRows())
    controls << QLatin1String(row.group);
  return controls;
}

QStringList parameterListing(const QStringList& userDataLines, const EditorSnapshot& editor) {
  QStringList listing;
  for (int i = 0; i < kUserDataLines; ++i)
    listing << userDataLines.value(i);
  for (int i = 0; i < kGapLines; ++i)
    listing << QString();
  for (const PairRow& row : pairRows()) {
    listing << joined(editor, row.caption, QStringLiteral(" "));
    listing << joined(editor, row.values, QStringLiteral("; "));
  }
  for (const OptionRow& row : optionRows()) {
    const bool first = editor.selectedItem(row.radio) == 0;
    listing << editor.text(QLatin1String(row.group)) + (first ? row.firstItem : row.otherItem);
  }
  Q_ASSERT(listing.size() == kListingLineCount);
  return listing;
}

QStringList withPrintMargins(const QStringList& lines) {
  QStringList out{QString(), QString()};
  for (int i = 0; i < lines.size(); ++i)
    out << (i < kMarginLines ? kLeftMargin + lines.at(i) : lines.at(i));
  return out;
}

QStringList reportLines(const QStringList& listing) {
  // The listing's every line ends with a break, so the report has one empty line more.
  return withPrintMargins(listing + QStringList{QString()});
}

}  // namespace orvel
