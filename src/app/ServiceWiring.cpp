#include "app/Program.h"
#include "service/ServiceConsole.h"
#include "service/TForm7.h"
#include "ui_TForm1.h"

namespace orvel {

void Program::wireService() {
  TForm1* main = form1_.get();
  Ui::TForm1& ui = main->ui();
  // Owned by the group box it fills, so it lives exactly as long as the main window's widgets.
  auto* console = console_ =
      new ServiceConsole({ui.GroupBox1, ui.Button2, ui.MaskEdit1, ui.Image1, ui.StatusBar1}, *main,
                         main->link(), *form7_);
  main->link().hooks.serviceByte = [console](std::uint8_t value) { console->serviceByte(value); };
}

}  // namespace orvel
