#include "calibration/RpmScaling.h"

#include "calibration/CalibrationSampler.h"
#include "calibration/CalibrationWizard.h"
#include "core/Dialogs.h"
#include "core/Language.h"
#include "link/LinkControl.h"

namespace orvel {

QString rpmScalingTip() {
  return tr3(QStringLiteral("Przed F8: silnik na wolnych obrotach, na benzynie"),
             QStringLiteral("Before F8: let the engine idle on petrol"),
             QStringLiteral("Prima di F8: motore al minimo, a benzina"));
}

QString rpmScalingDoneHint() {
  return tr3(QStringLiteral("F8 będzie znów dostępne po zakończeniu trybu oscyloskopu (F7), "
                            "zmiany parametrów (F5) lub autokalibracji (F6)"),
             QStringLiteral("F8 comes back once the scope (F7), the parameters (F5) or the "
                            "autocalibration (F6) has ended"),
             QStringLiteral("F8 torna disponibile alla fine dell'oscilloscopio (F7), del cambio "
                            "parametri (F5) o dell'autotaratura (F6)"));
}

RpmScaling::RpmScaling(LinkControl& link, LinkView& view, CalibrationSampler& sampler,
                       CalibrationWizard& wizard)
    : link_(link), view_(view), sampler_(sampler), wizard_(wizard) {}

void RpmScaling::SpeedButton14Click() {
  link_.ensureOpen();
  // F8 is free while the wizard is open only after a reply timeout gave the commands back; the
  // wizard then ends first, so that its run and this one never share the sample loop.
  wizard_.yieldLink();

  link_.rpmScalingOnly = true;
  const MainCommands taken =
      kButtonF5 | kButtonF6 | kButtonF7 | kItemScope | kButtonF8 | kItemScaling;
  view_.setCommandsEnabled(taken, false);
  view_.setStatusText(plIt(QStringLiteral("Skalowanie obrotów"), QStringLiteral("Taratura Giri")));
  link_.EditDane.clear();
  try {
    if (!sampler_.startIdleRun()) {
      view_.setCommandsEnabled(taken, true);
      view_.setStatusText(QString());
    }
  } catch (const AppError&) {
    // The first request could not go out: nothing runs, so nothing stays locked.
    view_.setCommandsEnabled(taken, true);
    view_.setStatusText(QString());
    throw;
  }
}

}  // namespace orvel
