#include "app/Program.h"
#include "core/Handlers.h"
#include "monitor/OscilloscopePanel.h"
#include "ui_TForm1.h"

namespace orvel {

void Program::wireOscilloscope() {
  TForm1* main = form1_.get();
  // Owned by the panel frame it fills, so it lives exactly as long as the main window's widgets.
  auto* scope =
      new OscilloscopePanel(main->ui().Panel1, *main, *main, main->link(), main->controller());

  LinkHooks& hooks = main->link().hooks;
  hooks.showLiveFrame = [scope] { scope->showLiveFrame(); };
  hooks.endOscilloscopeMode = [scope] { scope->KoniecClick(); };
  hooks.startOscilloscopeMode = [scope] { scope->WykresyClick(); };

  onEvent(main->ui().Wykresy, &QToolButton::clicked, scope, [scope] { scope->WykresyClick(); });
  onEvent(main->ui().Tryboscyloskopu1, &QAction::triggered, scope,
          [scope] { scope->WykresyClick(); });
}

}  // namespace orvel
