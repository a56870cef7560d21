#include "calibration/CalibrationWizard.h"

#include "calibration/WizardLimits.h"
#include "core/Dialogs.h"
#include "core/Language.h"
#include "settings/ControllerState.h"
#include "settings/Conversions.h"

// How the steps judge what was typed, and what the fitter is told when it is refused.

namespace orvel {

using wizard::kMaxWord;

void CalibrationWizard::invalidEntry(std::initializer_list<Entry> entries) {
  showMessage(plIt(QStringLiteral("Nieprawidłowa wartość"), QStringLiteral("Dati fuori limiti")),
              plIt(QStringLiteral("Uwaga"), QStringLiteral("Errore")), MessageIcon::Warning);
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

}  // namespace orvel
