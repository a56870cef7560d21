#include "app/Program.h"
#include "calibration/CalibrationPanel.h"
#include "calibration/CalibrationSampler.h"
#include "calibration/RpmScaling.h"
#include "core/Handlers.h"
#include "settings/TEdytuj_dane.h"
#include "ui_TEdytuj_dane.h"
#include "ui_TForm1.h"

namespace orvel {

void Program::wireCalibration() {
  TForm1* main = form1_.get();
  TEdytuj_dane* editor = editor_.get();
  // The wizard fills a few of the editor's fields as it goes; the editor marks them unsent like
  // any change it did not send itself.
  EditorFieldSink editorFields = [editor](EditorField f, const QString& text) {
    Ui::TEdytuj_dane& ui = editor->ui();
    QLineEdit* field = nullptr;
    switch (f) {
      case EditorField::ChangeoverRpm:
        field = ui.EditProgGB;
        break;
      case EditorField::StepperStart:
        field = ui.EditSilnikopt;
        break;
      case EditorField::StepperMax:
        field = ui.Editsilnikmax;
        break;
      case EditorField::StepperMin:
        field = ui.EditSilnikmin;
        break;
    }
    if (field) editor->setFieldText(field, text);
  };
  // Owned by the panel frame it fills, so it lives exactly as long as the main window's widgets.
  auto* calibration = new CalibrationPanel(main->ui().PanelKalib, *main, *main, main->link(),
                                           main->controller(), std::move(editorFields));

  LinkHooks& hooks = main->link().hooks;
  CalibrationSampler* sampler = &calibration->sampler();
  CalibrationWizard* wizard = &calibration->wizard();
  hooks.takeIdleSample = [sampler] { sampler->takeIdleSample(); };
  hooks.takeHighRpmSample = [sampler] { sampler->takeHighRpmSample(); };
  hooks.sampleDropped = [sampler] { sampler->sampleDropped(); };
  hooks.endCalibration = [wizard] { wizard->yieldLink(); };
  hooks.sampleRunFailed = [sampler] { sampler->runFailed(); };
  // F8 asks for an idling engine on petrol before it runs, and says afterwards why it stays off
  // until what gives it back has run.
  hooks.rpmScalingEnded = [sampler, main] {
    sampler->rpmScalingEnded();
    main->setStatusHint(TForm1::StatusHint::RpmScaled, &rpmScalingDoneHint);
  };
  QObject::connect(main, &TForm1::commandsChanged, calibration, [main] {
    if (main->ui().SpeedButton14->isEnabled())
      main->setStatusHint(TForm1::StatusHint::RpmScaled, nullptr);
  });
  const auto captions = [main, calibration] {
    main->ui().SpeedButton14->setStatusTip(rpmScalingTip());
    main->ui().SkalowanieobrotwPB1->setStatusTip(rpmScalingTip());
    calibration->retranslate();
  };
  captions();
  main->addCaptionTable([captions](Language) { captions(); });

  onEvent(main->ui().SpeedButton4, &QToolButton::clicked, calibration,
          [wizard] { wizard->SpeedButton4Click(); });
  onEvent(main->ui().Autokalibracja1, &QAction::triggered, calibration,
          [wizard] { wizard->SpeedButton4Click(); });
  RpmScaling* scaling = &calibration->rpmScaling();
  onEvent(main->ui().SpeedButton14, &QToolButton::clicked, calibration,
          [scaling] { scaling->SpeedButton14Click(); });
  onEvent(main->ui().SkalowanieobrotwPB1, &QAction::triggered, calibration,
          [scaling] { scaling->SpeedButton14Click(); });
}

}  // namespace orvel
