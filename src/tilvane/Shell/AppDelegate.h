#pragma once

#include <memory>

#include "Shell/MainController.h"
#include "Shell/SettingsFollower.h"
#include "Shell/ShellServices.h"

namespace tilvane {

/// The application delegate: runs the launch sequence once the event loop is up. Each step announces itself in
/// the log; the managers it starts are shared instances that live until the process ends.
class AppDelegate {
 public:
  explicit AppDelegate(const ShellServices& services) : services_(services) {}

  /// The launch sequence: logging and the updater's reports first, then data, managers and the main controller.
  void applicationDidFinishLaunching();
  /// A second start of the program while this one runs. Always handled.
  bool applicationShouldHandleReopen();
  /// Called once the loop has stopped, before the process exits.
  void applicationWillTerminate();

  MainController* mainController() const { return mainController_.get(); }

 private:
  void setupApp();
  void setupManagers();

  ShellServices services_;
  std::unique_ptr<MainController> mainController_;
  /// Takes in changes of the settings file made by another instance or by hand.
  std::unique_ptr<SettingsFollower> settingsFollower_;
};

}  // namespace tilvane
