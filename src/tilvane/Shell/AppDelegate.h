#pragma once

namespace tilvane {

/// The application delegate: runs the launch sequence once the event loop is up. Each step announces itself in
/// the log; the managers it starts are shared instances that live until the process ends.
class AppDelegate {
 public:
  /// The launch sequence: logging first, then data, managers and controllers.
  void applicationDidFinishLaunching();
  /// Called once the loop has stopped, before the process exits.
  void applicationWillTerminate();

 private:
  void setupApp();
  void setupManagers();
};

}  // namespace tilvane
