// Entry point and composition root: Qt's event loop as the main queue, the desktop backend the environment
// asks for (X11 by default, the simulated desktop with TILVANE_DESKTOP=sim), then the delegate's launch.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "AppManager/Logging/LogManager.h"
#include "Layout/LayoutManager.h"
#include "Shell/AppDelegate.h"
#include "Shell/SignalPipe.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "BuildInLayoutAction/ChooserWindow/LayoutAlertWindow.h"
#include "UI/HUD/QtHUDWindow.h"
#include "UI/HUD/VkHUD.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/x11/DesktopChoice.h"
#include "platform/desktop/x11/X11Desktop.h"
#include "platform/hotkeys/HotKeyServer.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "platform/hotkeys/x11/X11DesktopHotKeys.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/QtMainLoop.h"

namespace {
bool simulationRequested() {
  const char* request = std::getenv("TILVANE_DESKTOP");
  return request && std::string(request) == "sim";
}

// The simulated desktop has no screen to draw on: keep Qt off any display.
void preferOffscreenForSimulation() {
  if (simulationRequested() && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}
}  // namespace

int main(int argc, char** argv) {
  using namespace tilvane;
  preferOffscreenForSimulation();
  const char* display = std::getenv("DISPLAY");
  if (!simulationRequested() && (!display || !*display)) {
    std::fprintf(stderr,
                 "tilvane: no X display (DISPLAY is not set). Run it inside an X11 session, or start a test "
                 "desktop with scripts/test-desktop.sh, or use TILVANE_DESKTOP=sim for the simulated desktop.\n");
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tilvane");
  QApplication::setQuitOnLastWindowClosed(false);
  dispatch::QtMainLoop loop;
  dispatch::MainQueue::Scope scope(loop);

  x11::DesktopChoice choice = x11::chooseDesktopFromEnvironment();
  if (!choice.desktop || !choice.canMoveWindows) {
    std::fprintf(stderr, "tilvane: %s\n", choice.problem.c_str());
    return 2;
  }
  Desktop::Scope desktopScope(*choice.desktop);

  // Global hot keys on the same desktop: grabs on the X connection, or the simulated key server.
  std::unique_ptr<x11::X11DesktopHotKeys> x11HotKeys;
  std::unique_ptr<sim::SimHotKeys> simHotKeys;
  std::optional<HotKeyServer::Scope> hotKeyScope;
  if (choice.x11) {
    x11HotKeys = std::make_unique<x11::X11DesktopHotKeys>(*choice.x11);
    hotKeyScope.emplace(x11HotKeys->server());
  } else {
    simHotKeys = std::make_unique<sim::SimHotKeys>();
    hotKeyScope.emplace(*simHotKeys);
  }

  VkHUD::shared().setView(std::make_unique<QtHUDWindow>());
  BuildInLayoutActionController::shared().chooser().setView(std::make_unique<LayoutAlertWindow>());

  AppDelegate delegate;
  rx::DisposeBag bag;
  if (choice.x11) {
    choice.x11->connectionLost()
        .subscribe([&](const std::string& message) {
          if (SharedInstance<LayoutManager>::exists()) LayoutManager::shared().flushPendingUpdates();
          LogManager::error("lost the X connection: " + message);
          std::fprintf(stderr, "tilvane: lost the X connection: %s\n", message.c_str());
          loop.quit(1);
        })
        .disposed(bag);
  }
  SignalPipe stopOnSignal([&](int) { loop.quit(0); });

  loop.async([&] {
    delegate.applicationDidFinishLaunching();
    LogManager::debug(choice.description);
  });
  const int status = loop.run();
  delegate.applicationWillTerminate();
  return status;
}
