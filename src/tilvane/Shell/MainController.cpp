#include "Shell/MainController.h"

#include <utility>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/Desktop.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

bool isTrusted() {
  Desktop* desktop = Desktop::current();
  return desktop && desktop->canMoveWindows();
}

std::string trustProblem() {
  Desktop* desktop = Desktop::current();
  if (!desktop) return "No desktop is installed.";
  if (desktop->canMoveWindows()) return "";
  std::string problem = desktop->trustProblem();
  if (!problem.empty() && problem[0] >= 'a' && problem[0] <= 'z') problem[0] = static_cast<char>(problem[0] - 'a' + 'A');
  if (!problem.empty() && problem.back() != '.') problem += '.';
  return problem;
}

void MainController::setup() {
  LogManager::debug("check trusted");
  if (!isTrusted()) {
    showLanding();
    return;
  }
  LogManager::debug("main controllers setup");
  setupControllers();
  LogManager::debug("main contorller rx setup");
  setupRx();
  LogManager::debug("main notification setup");
  services_.announcements.requestAfter(10.0);
}

void MainController::setupControllers() {
  LogManager::debug("menubar setup");
  menuBarViewController_ = make<MenuBarController>(services_);
  LogManager::debug("preference setup");
  preferencesViewController_ = make<PreferencesViewController>(PreferencesServices{
      services_.updater, services_.openURL, services_.launchAtLogin, services_.preferencesViews});
  LogManager::debug("advance setup");
  advancedViewController_ =
      make<AdvancedViewController>(AdvancedServices{services_.openURL, services_.advancedViews});
}

void MainController::setupRx() {
  AppBridge::quit().subscribe([this](const rx::Unit&) { services_.terminate(); }).disposed(disposeBag());
}

void MainController::showLanding() {
  // A reopen while the window is open: one window, brought forward, never a second beside it.
  if (landing_ && landing_->isOpen()) {
    landing_->raise();
    return;
  }
  std::vector<LandingWindowItem> pages(3);
  pages[0].nextTitle = l10n::key("LetStart");
  pages[1].nextTitle = l10n::key("Complete");
  pages[1].checkTitle = l10n::key("OpenSettings");
  pages[1].checkAction = [this] { promptAccessibility(); };
  pages[1].nextAction = [this] { return confirmAccessibility(); };
  pages[2].nextTitle = l10n::key("OK");
  pages[2].nextAction = [this] { return relaunch(); };
  LandingWindowController::Environment environment{
      [] { return isTrusted(); }, services_.terminate,
      // Closed once trusted: record it and start afresh rather than run on with neither window nor menu.
      [this] {
        confirmAccessibility();
        relaunch();
      }};
  landing_.reset();  // the old window (closed) goes before its successor exists
  landing_ = std::make_unique<LandingWindowController>(services_.landing.makeView(), std::move(pages),
                                                       std::move(environment));
}

void MainController::promptAccessibility() {
  if (isTrusted()) return;
  const std::string problem = trustProblem();
  LogManager::warning(problem);
  if (landing_) landing_->view().setNote(problem);
  trustWatch_.start(1.0, [this] {
    if (!isTrusted()) return;
    trustWatch_.stop();
    LogManager::debug("trusted now");
    if (landing_) landing_->view().setNote(NSLocalizedString("TrustedNow"));
  });
}

bool MainController::confirmAccessibility() {
  if (!isTrusted()) {
    promptAccessibility();
    return false;
  }
  defaults::UserDefaults& standard = defaults::UserDefaults::standard();
  standard.setInteger(UserDefaultsService::enabledKey(), 1);
  standard.synchronize();
  trustWatch_.stop();
  if (landing_) landing_->view().setNote("");
  return true;
}

bool MainController::relaunch() {
  if (relaunching_) return true;
  relaunching_ = true;
  LogManager::debug("relaunch");
  services_.relaunch();
  return true;
}

}  // namespace tilvane
