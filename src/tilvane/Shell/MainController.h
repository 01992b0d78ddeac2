#pragma once

#include <memory>

#include "LandingWindow/LandingWindowController.h"
#include "Shell/ShellServices.h"
#include "Shell/UIControllers.h"
#include "VkKit/VkRxController.h"
#include "platform/dispatch/MainQueue.h"

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
  LandingWindowController* landing() const { return landing_.get(); }

 private:
  void setupControllers();
  void setupRx();
  /// Shows the landing window's pages; an open one is brought to the front instead of a second one made.
  void showLanding();
  /// The landing window's check step. The desktop has no prompt of its own: the page says what it lacks, until
  /// the desktop has it.
  void promptAccessibility();
  /// Once this program may move windows, records "enabled" = 1 and answers true; else prompts again.
  bool confirmAccessibility();
  /// Starts the program afresh, so the trusted set-up runs in a new process. Asked for once.
  bool relaunch();

  ShellServices services_;
  std::unique_ptr<MenuBarController> menuBarViewController_;
  std::unique_ptr<PreferencesViewController> preferencesViewController_;
  std::unique_ptr<AdvancedViewController> advancedViewController_;
  std::unique_ptr<LandingWindowController> landing_;
  bool relaunching_ = false;
  /// While the landing page says what the desktop lacks: asks again each second, so the page tells as soon as
  /// a window manager has started.
  dispatch::RepeatingTimer trustWatch_;
};

/// Whether the installed desktop lets this program read and move windows (none installed: no).
bool isTrusted();
/// Why isTrusted() is false, in a sentence a user can act on; empty when it is true.
std::string trustProblem();

}  // namespace tilvane
