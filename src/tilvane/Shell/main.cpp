// Entry point and composition root. It takes the instance lock or hands its argument to the instance that
// holds it, chooses the desktop before Qt starts (so a missing X server is told in the program's words), then
// makes Qt's event loop the main queue, the chosen backends, the Qt views, and runs the delegate's launch. The
// end is ordered: the connection-lost subscription, then the shutdown (the instance socket closed, pending moves
// written, the shared instances ended in order, the instance lock let go), then the signal pipe, the backends,
// the loop and Qt.
#include <QApplication>
#include <cctype>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "AppManager/Logging/LogManager.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "BuildInLayoutAction/ChooserWindow/LayoutAlertWindow.h"
#include "LandingWindow/Qt/LandingArtwork.h"
#include "LandingWindow/Qt/QtLandingWindow.h"
#include "Shell/AppDelegate.h"
#include "Shell/CommandLine.h"
#include "Shell/DesktopBackends.h"
#include "Shell/DesktopChoice.h"
#include "Shell/InstanceChoice.h"
#include "AppManager/Settings/BundleVersion.h"
#include "Preferences/Qt/QtPreferencesViews.h"
#include "platform/updater/HttpFeedSource.h"
#include "Advanced/Qt/QtAdvancedViews.h"
#include "Shell/MenuBar/StatusItem.h"
#include "Shell/MenuBar/Tray/QtStatusItemView.h"
#include "Shell/Shutdown.h"
#include "Shell/Web/RemoteNotificationManager.h"
#include "Shell/Web/WebAddresses.h"
#include "Shell/URLSchemeHandler.h"
#include "Shell/SignalPipe.h"
#include "Shell/Updates/LinuxUpdater.h"
#include "UI/HUD/QtHUDWindow.h"
#include "UI/HUD/VkHUD.h"
#include "UI/Widgets/DialogFocus.h"
#include "platform/desktop/x11/BrowserOpener.h"
#include "platform/desktop/x11/X11Desktop.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/l10n/Localization.h"
#include "platform/dispatch/QtMainLoop.h"
#include "platform/base/Relaunch.h"
#include "platform/base/XdgPaths.h"
#include "platform/ipc/InstanceChannel.h"
#include "platform/ipc/InstanceServer.h"
#include "platform/net/HttpClient.h"
#include "platform/rx/Disposable.h"
#include "platform/updater/qt/QtUpdateAlert.h"

namespace {
using tilvane::isOurURL;

class QtLandingWindows final : public tilvane::LandingWindows {
 public:
  std::unique_ptr<tilvane::LandingWindowView> makeView() override {
    return std::make_unique<tilvane::QtLandingWindow>(tilvane::landingArtwork());
  }
};

// What the running instance does with a message from a later start.
void handleInstanceMessage(tilvane::AppDelegate& delegate, const std::string& message) {
  if (message == "reopen") {
    tilvane::LogManager::debug("reopen");
    delegate.applicationShouldHandleReopen();
  } else if (isOurURL(message)) {
    tilvane::URLSchemeHandler().handleGetURLEvent(message);
  }
}
}  // namespace

int main(int argc, char** argv) {
  using namespace tilvane;
  const CommandLine line = readCommandLine(std::vector<std::string>(argv + 1, argv + argc), ipc::kMaxMessage);
  switch (line.action) {
    case CommandLine::Action::help:
      std::fputs(usageText().c_str(), stdout);
      return 0;
    case CommandLine::Action::version:
      std::fputs(versionText(BundleVersion::main()).c_str(), stdout);
      return 0;
    case CommandLine::Action::refuse:
      std::fprintf(stderr, "tilvane: %s\n", line.problem.c_str());
      return 2;
    case CommandLine::Action::run:
      break;
  }
  const std::string& url = line.url;
  // One instance per user and display: the holder of the lock. Any other start on that display hands its
  // request over and ends.
  const xdg::RuntimeFolder runtime = xdg::runtimeFolder();
  if (runtime.path.empty()) {
    std::fprintf(stderr, "tilvane: no private folder for the instance lock: %s\n", runtime.problem.c_str());
    return 1;
  }
  const std::string request = url.empty() ? "the reopen request" : "\"" + url + "\"";
  const std::string desktop = servedDesktopFromEnvironment();
  const std::vector<std::string> running = desktop.empty() ? ipc::runningInstances(runtime.path)
                                                           : std::vector<std::string>{};
  const InstanceChoice instance = chooseInstance(desktop, running);
  // A plain start without a display and none running goes on to say that it has no display.
  if (!instance.problem.empty() && (!url.empty() || !running.empty())) {
    std::fprintf(stderr, "tilvane: %s was not handed over: %s\n", request.c_str(), instance.problem.c_str());
    return 1;
  }
  ipc::InstanceClaim claim = ipc::claimInstance(runtime.path, url.empty() ? "reopen" : url, ipc::kHandOverPatience,
                                                instance.problem.empty() ? instance.name : ipc::instanceName(desktop));
  if (claim.delivered) return 0;
  if (claim.lock && !running.empty()) claim = {nullptr, false, "the instance ended before it took it"};
  if (!claim.lock) {
    std::fprintf(stderr, "tilvane: %s was not handed over: %s\n", request.c_str(), claim.error.c_str());
    return 1;
  }
  std::unique_ptr<ipc::InstanceLock> instanceLock = std::move(claim.lock);
  std::string listenError;
  std::unique_ptr<ipc::InstanceServer> instanceServer = ipc::InstanceServer::listen(*instanceLock, listenError);

  DesktopChoice choice = chooseDesktopFromEnvironment();
  if (!choice.problem.empty()) {
    std::fprintf(stderr, "tilvane: %s\n", choice.problem.c_str());
    return 2;
  }
  // The simulated desktop has no screen to draw on: keep Qt off any display.
  if (choice.simulated && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  QApplication app(argc, argv);
  QApplication::setApplicationName("Tilvane");
  QApplication::setQuitOnLastWindowClosed(false);
  dispatch::QtMainLoop loop;
  dispatch::MainQueue::Scope scope(loop);

  const std::string description = choice.description;
  DesktopBackends backends(std::move(choice));
  Desktop::Scope desktopScope(backends.desktop());
  HotKeyServer::Scope hotKeyScope(backends.hotKeys());

  VkHUD::shared().setView(std::make_unique<QtHUDWindow>());
  BuildInLayoutActionController::shared().chooser().setView(std::make_unique<LayoutAlertWindow>());
  StatusBar::systemStatusBar().setViewFactory([] { return std::make_unique<QtStatusItemView>(); });

  QtLandingWindows landing;
  // Exchanges run on the client's worker; their completions come back to the main loop.
  net::HttpClient http([&loop](std::function<void()> task) { loop.async(std::move(task)); });
  const WebAddresses web = WebAddresses::fromEnvironment();
  RemoteNotificationManager announcements(http, web.remoteNotification);
  bool relaunch = false;
  // A desktop without a browser fails only when its opener ends: the user is then given the address.
  x11::BrowserOpener browser([](const std::string& url) {
    LogManager::warning("no web browser opened " + url);
    auto* box = new QMessageBox(QMessageBox::Information, QApplication::applicationName(),
                                QString::fromStdString(NSLocalizedString("NoBrowser")), QMessageBox::Ok);
    box->setInformativeText(QString::fromStdString(url));
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    takeKeyboardWhenShown(*box);
    box->show();
  });
  const auto openURL = [&browser](const std::string& url) { return browser.open(url); };
  updates::HttpFeedSource feedSource(http);
  updates::QtUpdateAlert updateAlert;
  const BundleVersion version = BundleVersion::main();
  LinuxUpdater updater(feedSource, &updateAlert, openURL, version.shortVersion.value_or(""));
  QtPreferencesViews preferencesViews;
  QtAdvancedViews advancedViews;
  AppDelegate delegate({updater, landing, announcements, [&loop] { loop.quit(0); },
                        [&loop, &relaunch] {
                          relaunch = true;
                          loop.quit(0);
                        },
                        openURL, &preferencesViews, nullptr, WebServices{&http, web.home, version.build.value_or("")},
                        &advancedViews});
  // No request of a later start reaches the managers once they start to end; the lock goes last, so no new
  // instance starts while this one still writes.
  Shutdown shutdown(delegate, [&] { instanceServer.reset(); }, [&] { instanceLock.reset(); });
  // Lives on through the shutdown, so a second Ctrl+C cannot cut the last writes short.
  SignalPipe stopOnSignal([&](int) { loop.quit(0); });
  int status = 0;
  bool connectionLost = false;
  {
    rx::DisposeBag bag;
    if (x11::X11Desktop* x11 = backends.x11()) {
      x11->connectionLost()
          .subscribe([&](const std::string& message) {
            LogManager::error("lost the X connection: " + message);
            std::fprintf(stderr, "tilvane: lost the X connection: %s\n", message.c_str());
            connectionLost = true;
            loop.quit(1);
          })
          .disposed(bag);
    }

    loop.async([&] {
      delegate.applicationDidFinishLaunching();
      LogManager::debug(description);
      if (!runtime.problem.empty()) LogManager::warning(runtime.problem);
      shutdown.coverExit();
      if (instanceServer) {
        instanceServer->serve(loop, [&](const std::string& message) { handleInstanceMessage(delegate, message); });
      } else {
        LogManager::warning("a second start cannot reach this one: " + listenError);
      }
      if (!url.empty()) URLSchemeHandler().handleGetURLEvent(url);
    });
    status = loop.run();
  }
  shutdown.run();
  // Qt cannot take down what it holds of a broken X connection; end here, as Qt itself does when it sees the
  // loss first.
  if (connectionLost) std::exit(status);
  if (relaunch) {
    const std::string problem = relaunchSelf();
    std::fprintf(stderr, "tilvane: %s\n", problem.c_str());
    return 1;
  }
  return status;
}
