#pragma once

#include <QString>

namespace orvel {

// Said before F8 (the status tip of its button and menu item): what the engine must be doing.
QString rpmScalingTip();
// Said after it while F8 stays disabled: what gives it back.
QString rpmScalingDoneHint();

class CalibrationSampler;
class CalibrationWizard;
class LinkControl;
class LinkView;

// Rpm scaling on petrol ("Skalowanie obrotów [PB]", F8): with the engine idling, an idle
// sampling run makes the average period of ten live frames the idle period reference, so that
// the speed read-out shows 800 rpm at that idle. Unlike the wizard's idle step it does not send
// the reference to the controller. The end of the run gives the commands back (the dispatch
// does it, since the wizard's panel is hidden) except F8 itself, and the status bar tells the
// period now taken as 800 rpm.
class RpmScaling {
 public:
  RpmScaling(LinkControl& link, LinkView& view, CalibrationSampler& sampler,
             CalibrationWizard& wizard);

  // Toolbar "(F8)" and menu "Skalowanie obrotów [PB]".
  void SpeedButton14Click();

 private:
  LinkControl& link_;
  LinkView& view_;
  CalibrationSampler& sampler_;
  CalibrationWizard& wizard_;
};

}  // namespace orvel
