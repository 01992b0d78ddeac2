#include "Shell/Shutdown.h"

#include <utility>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Shell/AppDelegate.h"
#include "Shortcuts/ShortcutsManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/hotkeys/MASShortcutMonitor.h"

namespace tilvane {
namespace {
// exit() ends the calling thread's thread-local objects newest first, before any static object or atexit
// handler: one made after the launch goes before the store's per-thread instances and everything else the
// shutdown needs.
struct ExitCover {
  Shutdown* shutdown = nullptr;
  ~ExitCover() {
    if (shutdown) shutdown->run();
  }
};

ExitCover& exitCover() {
  thread_local ExitCover cover;
  return cover;
}
}  // namespace

void endSharedInstances() {
  SharedInstance<ShortcutsManager>::reset();
  SharedInstance<ApplicationManager>::reset();
  SharedInstance<WindowManager>::reset();
  SharedInstance<LayoutManager>::reset();
  SharedInstance<ScreenManager>::reset();
  SharedInstance<AppManager>::reset();
  SharedInstance<MASShortcutMonitor>::reset();
  SharedInstances::resetAll();
}

Shutdown::Shutdown(AppDelegate& delegate, std::function<void()> first, std::function<void()> last)
    : delegate_(delegate), first_(std::move(first)), last_(std::move(last)) {}

Shutdown::~Shutdown() {
  run();
  if (covered_) exitCover().shutdown = nullptr;
}

void Shutdown::coverExit() {
  exitCover().shutdown = this;
  covered_ = true;
}

void Shutdown::run() {
  if (done_) return;
  done_ = true;
  if (first_) first_();
  delegate_.applicationWillTerminate();
  endSharedInstances();
  if (last_) last_();
}

}  // namespace tilvane
