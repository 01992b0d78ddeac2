#pragma once

#include <functional>

namespace tilvane {

class AppDelegate;

/// The end of the program, the same on every road out (SIGINT, SIGTERM, SIGHUP, a lost X connection): the
/// delegate writes what is still pending, then the shared instances end in a fixed order (endSharedInstances)
/// while the main loop and the backends they use still exist. The composition root makes this after the loop and the
/// backends, so those go after it.
class Shutdown {
 public:
  /// `first` runs before anything ends (the composition root stops taking requests from later starts),
  /// `last` after every shared instance has ended (it lets the instance lock go).
  explicit Shutdown(AppDelegate& delegate, std::function<void()> first = {}, std::function<void()> last = {});
  /// Runs the shutdown unless it ran already.
  ~Shutdown();
  Shutdown(const Shutdown&) = delete;
  Shutdown& operator=(const Shutdown&) = delete;

  /// Also ends the program this way when exit() is called on this thread from inside the loop, as Qt does when
  /// its own X connection breaks. Call on the main thread once the launch has made the managers: what the
  /// thread made before is still there when the shutdown runs then.
  void coverExit();
  /// Once: `first`, applicationWillTerminate, endSharedInstances(), then `last`.
  void run();

 private:
  AppDelegate& delegate_;
  std::function<void()> first_;
  std::function<void()> last_;
  bool covered_ = false;
  bool done_ = false;
};

/// Ends every shared instance, those that use others first: the shortcuts manager (letting its hot keys go
/// while the monitor is there), the application and window managers (no more window events), the layout
/// manager (its queues and timers), the screen and catalogue managers, the hot-key monitor (letting the rest
/// go on the live backend), then all others.
void endSharedInstances();

}  // namespace tilvane
