#include "app/Program.h"
#include "core/Handlers.h"
#include "settings/SettingsDecoder.h"
#include "settings/TEdytuj_dane.h"

#include <algorithm>

namespace orvel {

void Program::wireSettingsEditor() {
  LinkControl& link = form1_->link();
  ControllerState& state = form1_->controller();

  // The editor's commands go out inside the communication the read-out opened; a failing port
  // raises its error into the handler that sent.
  editor_->attach(state, [&link](const Command& command) { link.send(command); });

  // Runs from the dispatch, which has already taken the idle period reference from the block.
  link.hooks.decodeSettings = [this, &link, &state] {
    SettingsBlock block{};
    for (int k = 0; k < kSettingsBlockLength; ++k)
      block[static_cast<std::size_t>(k)] = lowByte(std::max(0, link.byte(k)));
    const DecodedSettings decoded =
        decodeSettingsBlock(block, state.idlePeriodReference, editor_->maxSpeedShowsOff());
    if (decoded.lambdaRangeLine)
      state.szablon.setLine(SettingsTemplate::kLambdaMaximumLine, *decoded.lambdaRangeLine);
    editor_->showSettings(decoded);
  };

  link.hooks.showSettingsEditor = [this] {
    editor_->show();
    editor_->raise();
    editor_->activateWindow();
  };

  onEvent(editor_.get(), &TEdytuj_dane::closedByUser, form1_.get(), [this] {
    form1_->show();
    form1_->setEnabled(true);
    form1_->link().endSettingsExchange();
  });
}

}  // namespace orvel
