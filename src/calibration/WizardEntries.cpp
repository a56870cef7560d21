#include "calibration/CalibrationWizard.h"

#include "calibration/WizardLimits.h"
#include "core/ControllerState.h"
#include "core/Dialogs.h"
#include "core/Language.h"
#include "settings/Conversions.h"

#include <algorithm>

// How the steps judge what was typed, and what the fitter is told when it is refused.

namespace orvel {

using wizard::kMaxByte;
using wizard::kMaxWaveMs;
using wizard::kMaxWord;

namespace {

QString range(long long lowest, long long highest, const QString& unit) {
  return QString::number(lowest) + QStringLiteral("...") + QString::number(highest) +
         (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
}

// The highest speed the four-character field takes.
constexpr long long kMaxTypedRpm = 9999;

}  // namespace

namespace wizard::allowed {
QString changeover() {
  return range(1000, 9000, rpmUnitText());
}
QString lambdaThreshold() {
  return QStringLiteral("0.0...5.0 V");
}
QString tpsThreshold() {
  return QStringLiteral("0.00...9.99 V");
}
QString position() {
  return range(0, kMaxByte, QString());
}
QString waveTime() {
  return range(0, kMaxWaveMs, QStringLiteral("ms"));
}
QString startDelay() {
  return range(0, kMaxByte / 5, QStringLiteral("s"));
}
}  // namespace wizard::allowed

void CalibrationWizard::invalidEntry(std::initializer_list<Entry> entries, const QString& allowed) {
  showMessage(invalidEntryText(allowed), invalidEntryTitle(), MessageIcon::Warning);
  for (Entry e : entries)
    view_.setText(e, QString());
}

void CalibrationWizard::waveOutOfRange() {
  const QString limits = QStringLiteral("   TH, TL - 0...4000ms\r\nTH+TL max 4000ms");
  showMessage(
      plIt(QStringLiteral("Dane poza zakresem"), QStringLiteral("Dati fuori limiti")) + limits,
      plIt(QStringLiteral("Błąd"), QStringLiteral("Errore")), MessageIcon::Warning);
}

long long CalibrationWizard::reference() const {
  return state_.idlePeriodReference;
}

std::optional<long long> CalibrationWizard::period(long long rpm) const {
  const auto p = periodFromRpm(reference(), rpm);
  if (!p || *p < 0 || *p > kMaxWord) return std::nullopt;
  return p;
}

std::optional<long long> CalibrationWizard::fallingDelta(long long delta) const {
  // Step 1 admitted only 1000..9000 rpm; the period below it may exceed 16 bits on its own as
  // long as the difference does not.
  const auto atChangeover = period(changeoverRpm_);
  const auto below = periodFromRpm(reference(), changeoverRpm_ - delta);
  if (!atChangeover || !below) return std::nullopt;
  const long long difference = *below - *atChangeover;
  if (difference < 0 || difference > kMaxWord) return std::nullopt;
  return difference;
}

QString CalibrationWizard::rpmRange() const {
  // The period falls as the speed rises: the lowest speed is the first whose period fits.
  long long lowest = std::max(1LL, 800 * reference() / (kMaxWord + 1));
  while (lowest < kMaxTypedRpm && !period(lowest))
    ++lowest;
  while (lowest > 1 && period(lowest - 1))
    --lowest;
  return range(lowest, kMaxTypedRpm, rpmUnitText());
}

QString CalibrationWizard::deltaRange() const {
  long long highest = changeoverRpm_ - 1;
  while (highest > 0 && !fallingDelta(highest))
    --highest;
  return range(0, std::max(0LL, highest), rpmUnitText());
}

}  // namespace orvel
