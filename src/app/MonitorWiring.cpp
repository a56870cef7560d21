#include "app/LogViewWiring.h"
#include "app/Program.h"
#include "core/Handlers.h"
#include "monitor/DriveLog.h"
#include "monitor/OscilloscopePanel.h"
#include "ui_Panel1.h"
#include "ui_TForm1.h"

#include <QLabel>
#include <QStatusBar>

namespace orvel {

void Program::wireOscilloscope() {
  TForm1* main = form1_.get();
  // Owned by the panel frame it fills, so it lives exactly as long as the main window's widgets.
  auto* scope =
      new OscilloscopePanel(main->ui().Panel1, *main, *main, main->link(), main->controller());

  LinkHooks& hooks = main->link().hooks;
  hooks.showLiveFrame = [scope] { scope->showLiveFrame(); };
  hooks.liveFrameDropped = [scope] { scope->liveFrameDropped(); };
  hooks.endOscilloscopeMode = [scope] { scope->endLiveMode(); };
  hooks.startOscilloscopeMode = [scope] { scope->WykresyClick(); };
  main->addCaptionTable([scope](Language) { scope->retranslate(); });

  scope->speedUnknownChanged = [main](bool unknown) {
    main->setStatusHint(TForm1::StatusHint::SpeedUnknown,
                        unknown ? std::function<QString()>(&speedUnknownHint) : nullptr);
  };

  // The live rate at the status bar's right end, where it stays in view whatever the panel's
  // layout; only while the live mode runs.
  auto* rate = new QLabel(main->ui().StatusBar1);
  rate->setObjectName(QStringLiteral("StatusLinkRate"));
  rate->setTextFormat(Qt::PlainText);
  rate->hide();
  main->ui().StatusBar1->addPermanentWidget(rate);
  scope->liveRateChanged = [rate](const QString& text) {
    rate->setText(text);
    rate->setVisible(!text.isEmpty());
  };

  onEvent(main->ui().Wykresy, &QToolButton::clicked, scope, [scope] { scope->WykresyClick(); });
  onEvent(main->ui().Tryboscyloskopu1, &QAction::triggered, scope,
          [scope] { scope->WykresyClick(); });

  // The drive log: recording on the panel, replay from the menu. A replay uses the panel as
  // oscilloscope mode does, so its menu item is available exactly when "Tryb oscyloskopu" is.
  auto* driveLog =
      new DriveLog(*scope, *main, main->link().timerService(), main->installationDirectory(), main);
  QAction* replay = main->ui().Odtworzzapis1;
  onEvent(replay, &QAction::triggered, driveLog, [driveLog] { driveLog->Odtworzzapis1Click(); });
  const auto followScope = [main, replay] {
    replay->setEnabled(main->ui().Tryboscyloskopu1->isEnabled());
  };
  QObject::connect(main, &TForm1::commandsChanged, replay, followScope);
  followScope();
  QObject::connect(main, &TForm1::closed, driveLog, [driveLog] { driveLog->shutdown(); });
  main->addCaptionTable([driveLog](Language) { driveLog->retranslate(); });
  wireLogViewer(*main, *driveLog);
}

}  // namespace orvel
