#pragma once

#include "VkKit/VkRxController.h"

namespace tilvane {

class MenuBarController : public VkRxController {
 public:
  explicit MenuBarController(Passkey key) : VkRxController(key) {}
};

class PreferencesViewController : public VkRxController {
 public:
  explicit PreferencesViewController(Passkey key) : VkRxController(key) {}
};

class AdvancedViewController : public VkRxController {
 public:
  explicit AdvancedViewController(Passkey key) : VkRxController(key) {}
};

}  // namespace tilvane
