#pragma once

#include <memory>

#include "Shell/ShellServices.h"
#include "Shell/UIControllers.h"
#include "VkKit/VkRxController.h"

namespace tilvane {

/// The top-level controller and the trust gate: while this program may move windows it makes the menu,
/// preferences and advanced controllers; otherwise it shows the landing window and nothing else.
class MainController : public VkRxController {
 public:
  MainController(Passkey key, const ShellServices& services) : VkRxController(key), services_(services) {}

  /// The gate. Run again on a reopen while untrusted; the trusted branch runs once per process.
  void setup();

  MenuBarController* menuBarViewController() const { return menuBarViewController_.get(); }
  PreferencesViewController* preferencesViewController() const { return preferencesViewController_.get(); }
  AdvancedViewController* advancedViewController() const { return advancedViewController_.get(); }

 private:
  void setupControllers();
  void setupRx();

  ShellServices services_;
  std::unique_ptr<MenuBarController> menuBarViewController_;
  std::unique_ptr<PreferencesViewController> preferencesViewController_;
  std::unique_ptr<AdvancedViewController> advancedViewController_;
};

/// Whether the installed desktop lets this program read and move windows (none installed: no).
bool isTrusted();

}  // namespace tilvane
