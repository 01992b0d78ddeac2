// tilvane_apps_pane: the Apps pane in a window of its own, with the catalogue, the store and the window managers
// of the program running on $DISPLAY (or the simulated desktop with TILVANE_DESKTOP=sim). Closing the window,
// Ctrl+C or SIGTERM ends it; what the managers still hold is written first, as the program does.
#include <QApplication>
#include <QWidget>
#include <cstdio>

#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Settings/Constants.h"
#include "AppManager/Startup/ManagerSetup.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "RuleLayout/Qt/AppRuleViewController.h"
#include "Shell/DesktopBackends.h"
#include "Shell/DesktopChoice.h"
#include "Shell/Shutdown.h"
#include "Shell/SignalPipe.h"
#include "platform/dispatch/QtMainLoop.h"

int main(int argc, char** argv) {
  using namespace tilvane;
  DesktopChoice choice = chooseDesktopFromEnvironment();
  if (!choice.problem.empty()) {
    std::fprintf(stderr, "tilvane_apps_pane: %s\n", choice.problem.c_str());
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tilvane");
  dispatch::QtMainLoop loop;
  dispatch::MainQueue::Scope scope(loop);
  DesktopBackends backends(std::move(choice));
  Desktop::Scope desktopScope(backends.desktop());
  HotKeyServer::Scope hotKeyScope(backends.hotKeys());
  SignalPipe stopOnSignal([&](int) { loop.quit(0); });

  int status = 0;
  {
    std::unique_ptr<AppRuleViewController> pane;
    QWidget window;
    loop.async([&] {
      LogManager::setup();
      StoreService::shared().configureRealm();
      AppManager::shared().loadApps();
      setupWindowManagers();
      pane = std::make_unique<AppRuleViewController>();
      const Constants::Size size = Constants::Advanced::appsPaneSize();
      window.setWindowTitle("Tilvane: Apps");
      window.setFixedSize(static_cast<int>(size.width), static_cast<int>(size.height));
      pane->view().setParent(&window);
      QObject::connect(&app, &QApplication::lastWindowClosed, [&] { loop.quit(0); });
      window.show();
    });
    status = loop.run();
    if (pane) pane->view().setParent(nullptr);
  }
  if (SharedInstance<LayoutManager>::exists()) LayoutManager::shared().flushPendingUpdates();
  endSharedInstances();
  return status;
}
