#pragma once

#include "Shell/MenuBar/MenuBarController.h"
#include "VkKit/VkRxController.h"

namespace tilvane {

class PreferencesViewController : public VkRxController {
 public:
  explicit PreferencesViewController(Passkey key) : VkRxController(key) {}
};

class AdvancedViewController : public VkRxController {
 public:
  explicit AdvancedViewController(Passkey key) : VkRxController(key) {}
};

}  // namespace tilvane
