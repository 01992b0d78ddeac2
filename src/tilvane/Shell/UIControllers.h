#pragma once

#include "Preferences/PreferencesViewController.h"
#include "Shell/MenuBar/MenuBarController.h"
#include "VkKit/VkRxController.h"

namespace tilvane {

class AdvancedViewController : public VkRxController {
 public:
  explicit AdvancedViewController(Passkey key) : VkRxController(key) {}
};

}  // namespace tilvane
