#include "app/Dialogs.h"
#include "app/Program.h"
#include "settings/TEdytuj_dane.h"

namespace orvel {

void Program::wireSettingsEditor() {
  LinkControl& link = form1_->link();
  link.hooks.showSettingsEditor = [this] {
    editor_->show();
    editor_->raise();
    editor_->activateWindow();
  };
  QObject::connect(editor_.get(), &TEdytuj_dane::closedByUser, form1_.get(), [this] {
    guarded([this] {
      form1_->show();
      form1_->setEnabled(true);
      form1_->link().endSettingsExchange();
    });
  });
}

}  // namespace orvel
