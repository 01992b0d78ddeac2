#include "ScenarioRunner.h"

#include <iomanip>
#include <ostream>

#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Startup/ManagerSetup.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "ScenarioArgs.h"
#include "platform/base/SharedInstance.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane::scenario {
namespace {
bool hasFlag(const std::vector<std::string>& args, std::size_t from, const std::string& flag) {
  for (std::size_t i = from; i < args.size(); ++i)
    if (args[i] == flag) return true;
  return false;
}
}  // namespace

ScenarioRunner::ScenarioRunner(std::ostream& out) : out_(out), loopScope_(loop_), hotKeysScope_(hotKeys_) {}

ScenarioRunner::~ScenarioRunner() {
  // The managers go before the desktop they observe.
  SharedInstances::resetAll();
  desktopScope_.reset();
}

void ScenarioRunner::ensureDesktop(int spaces) {
  if (sim_) return;
  sim_ = std::make_unique<sim::SimDesktop>(sim::SpacesMode::shared, spaces);
  desktopScope_ = std::make_unique<Desktop::Scope>(*sim_);
  StoreService::shared().configureRealm();
}

bool ScenarioRunner::run(const Script& script, std::string* error) {
  for (const Step& step : script.steps) {
    if (!play(step, error)) {
      if (error) *error = "line " + std::to_string(step.line) + " (" + step.command + "): " + *error;
      return false;
    }
  }
  ensureDesktop();
  if (!started_) printFrames("frames before");
  LayoutManager::shared().flushPendingUpdates();
  loop_.drain();
  printFrames("frames after");
  printRecords();
  return true;
}

bool ScenarioRunner::play(const Step& step, std::string* error) {
  const auto& a = step.args;
  std::vector<double> v;
  out_ << "# +" << std::fixed << std::setprecision(3) << loop_.elapsed() << std::defaultfloat << ' ' << step.command;
  for (const auto& arg : a) out_ << ' ' << arg;
  out_ << '\n';

  if (step.command == "spaces") {
    if (sim_ || !numbers(a, 0, 1, v) || v[0] < 1 || v[0] > 16) return (*error = "give 1 to 16, as the first step"), false;
    ensureDesktop(static_cast<int>(v[0]));
    return true;
  }
  ensureDesktop();
  if (step.command == "display") {
    if (!numbers(a, 0, 4, v)) return (*error = "expected X Y W H"), false;
    sim::SimDisplayConfig config{.frame = CGRectMake(v[0], v[1], v[2], v[3])};
    if (a.size() >= 9 && a[4] == "visible") {
      if (!numbers(a, 5, 4, v)) return (*error = "expected visible X Y W H"), false;
      config.visibleFrame = CGRectMake(v[0], v[1], v[2], v[3]);
    }
    if (started_) sim_->connectDisplay(config);
    else sim_->addDisplay(config);
    return true;
  }
  if (step.command == "disconnect") {
    const auto uuids = sim_->displayUuids();
    if (!numbers(a, 0, 1, v) || v[0] < 0 || v[0] >= static_cast<double>(uuids.size()))
      return (*error = "no such display"), false;
    sim_->disconnectDisplay(uuids[static_cast<std::size_t>(v[0])]);
    return true;
  }
  if (step.command == "setting") {
    if (a.size() != 2 || !numbers(a, 1, 1, v)) return (*error = "expected KEY VALUE"), false;
    auto& defaults = defaults::UserDefaults::standard();
    if (a[0] == UserDefaultsService::gutterEnabledKey()) defaults.setBool(a[0], v[0] != 0);
    else defaults.setInteger(a[0], static_cast<std::int64_t>(v[0]));
    return true;
  }
  if (step.command == "record") {
    if (a.size() < 6 || !numbers(a, 1, 5, v)) return (*error = "expected BUNDLE INDEX X Y W H [SCREENS]"), false;
    auto model = std::make_shared<AutoLayoutModel>();
    model->setBundleIdentifier(a[0]);
    model->setWindowIndex(static_cast<std::int64_t>(v[0]));
    model->setX(v[1]);
    model->setY(v[2]);
    model->setWidth(v[3]);
    model->setHeight(v[4]);
    if (a.size() >= 7) {
      if (!numbers(a, 6, 1, v)) return (*error = "SCREENS is a number"), false;
      model->setScreenCount(static_cast<std::int64_t>(v[0]));
    }
    model->makeId();
    try {
      const auto database = store::Database::open();
      database->write([&] { database->add(model, store::UpdatePolicy::all); });
    } catch (const std::exception& e) {
      return (*error = e.what()), false;
    }
    return true;
  }
  if (step.command == "app" || step.command == "launch") {
    if (a.empty()) return (*error = "expected BUNDLE"), false;
    if (pids_.count(a[0])) return (*error = "runs already"), false;
    const sim::SimApplicationConfig config{.bundleIdentifier = a[0], .name = a[0], .agent = hasFlag(a, 1, "agent")};
    pids_[a[0]] = step.command == "app" ? sim_->applications().addApplication(config)
                                        : sim_->applications().launchApplication(config);
    return true;
  }
  if (step.command == "quit") {
    const auto pid = a.empty() ? pids_.end() : pids_.find(a[0]);
    if (pid == pids_.end()) return (*error = "no such application"), false;
    sim_->applications().quitApplication(pid->second);
    pids_.erase(pid);
    return true;
  }
  if (step.command == "window" || step.command == "open") {
    if (a.size() < 6 || !numbers(a, 2, 4, v)) return (*error = "expected BUNDLE TITLE X Y W H"), false;
    const auto pid = pids_.find(a[0]);
    if (pid == pids_.end()) return (*error = "no such application"), false;
    sim::SimWindowConfig config{.title = a[1], .frame = CGRectMake(v[0], v[1], v[2], v[3])};
    if (hasFlag(a, 6, "dialog")) config.subrole = "AXDialog";
    config.minimized = hasFlag(a, 6, "minimized");
    if (step.command == "window") sim_->applications().addWindow(pid->second, config);
    else sim_->applications().createWindow(pid->second, config);
    return true;
  }
  if (step.command == "move" || step.command == "close" || step.command == "minimize" ||
      step.command == "deminiaturize") {
    if (a.size() < 2) return (*error = "expected BUNDLE TITLE"), false;
    const auto window = findWindow(a[0], a[1]);
    if (!window) return (*error = "no such window"), false;
    auto& apps = sim_->applications();
    if (step.command == "move") {
      if (!numbers(a, 2, 4, v)) return (*error = "expected X Y W H"), false;
      apps.userMoveWindow(*window, CGRectMake(v[0], v[1], v[2], v[3]));
    } else if (step.command == "close") {
      apps.closeWindow(*window);
    } else if (step.command == "minimize") {
      apps.minimizeWindow(*window);
    } else {
      apps.deminiaturizeWindow(*window);
    }
    return true;
  }
  if (step.command == "switch") {
    if (!numbers(a, 0, 1, v) || !sim_->switchToSpaceAtPosition(static_cast<int>(v[0])))
      return (*error = "no such desktop"), false;
    return true;
  }
  if (step.command == "start") {
    if (started_) return (*error = "started already"), false;
    started_ = true;
    printFrames("frames before");
    setupWindowManagers();
    loop_.drain();
    return true;
  }
  if (step.command == "wait") {
    if (!numbers(a, 0, 1, v) || v[0] < 0 || v[0] > 86400) return (*error = "give 0 to 86400 seconds"), false;
    loop_.advance(v[0]);
    return true;
  }
  return playEngine(step, error);
}

std::vector<std::pair<std::string, AXUIElement>> ScenarioRunner::allWindows() const {
  std::vector<std::pair<std::string, AXUIElement>> windows;
  if (!sim_) return windows;
  for (const auto& app : sim_->applications().runningApplications())
    for (const auto& window : sim_->applications().windowsOf(app.processIdentifier))
      windows.emplace_back(app.bundleIdentifier.value_or(""), window);
  return windows;
}

std::optional<AXUIElement> ScenarioRunner::findWindow(const std::string& bundle, const std::string& title) const {
  for (const auto& [owner, window] : allWindows())
    if (owner == bundle && SIWindow(window).title() == title) return window;
  return std::nullopt;
}

void ScenarioRunner::printFrames(const char* heading) {
  out_ << "== " << heading << '\n';
  for (const auto& [bundle, window] : allWindows()) {
    const SIWindow w(window);
    out_ << bundle << " \"" << w.title().value_or("") << "\" " << describe(w.frame()) << '\n';
  }
}

void ScenarioRunner::printRecords() {
  out_ << "== remembered placements\n";
  try {
    for (const auto& model : store::Database::open()->objects<AutoLayoutModel>())
      out_ << model->id() << ' ' << describe(CGRectMake(model->x(), model->y(), model->width(), model->height()))
           << " display " << model->screenIndex() << " desktop " << model->spaceIndex() << '\n';
  } catch (const std::exception& e) {
    out_ << "(cannot be read: " << e.what() << ")\n";
  }
}

}  // namespace tilvane::scenario
