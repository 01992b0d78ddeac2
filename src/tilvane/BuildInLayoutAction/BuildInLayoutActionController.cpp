#include "BuildInLayoutAction/BuildInLayoutActionController.h"

#include <memory>

#include "platform/base/SharedInstance.h"

namespace tilvane {
namespace {

// The shared controller is made through VkRxController::make(), so its set-up hooks run; the holder lets
// SharedInstance make and reset it like every other shared instance.
struct SharedController {
  std::unique_ptr<BuildInLayoutActionController> controller =
      VkRxController::make<BuildInLayoutActionController>();
};

}  // namespace

BuildInLayoutActionController& BuildInLayoutActionController::shared() {
  return *SharedInstance<SharedController>::get().controller;
}

BuildInLayoutActionController::BuildInLayoutActionController(Passkey key) : VkRxController(key) {}

void BuildInLayoutActionController::setupUI() {
  setupChooserWindow();
  buildNavigationGraph();
}

void BuildInLayoutActionController::setupChooserWindow() {}

void BuildInLayoutActionController::showUnavailable() { chooser_.showUnavailable(); }

}  // namespace tilvane
