#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "AppManager/Logging/LogManager.h"
#include "Models/ModelsFwd.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane {
class LayoutItem;
}

namespace tilvane::test {

/// A fresh world with a simulated desktop: one 1440 × 900 display whose visible frame is (0, 0, 1440, 877) with
/// `spaces` desktops (shared, or its own when `mode` is separate), the database configured under the temporary
/// folder, and the log captured. Nothing is started: startManagers() runs the managers' start-up as the
/// application does.
class WindowWorld : public WorldTest {
 protected:
  using Request = std::tuple<sim::SimWindowRequest::Kind, double, double>;

  explicit WindowWorld(int spaces = 1, sim::SpacesMode mode = sim::SpacesMode::shared);
  ~WindowWorld() override;

  sim::SimDesktop& sim() { return *sim_; }
  sim::SimApplications& apps() { return sim_->applications(); }

  /// The start-up of the window side, in the application's order: the screen manager (displays, change
  /// notifications, display identifier), the layout manager (rules, subscriptions), the window manager, the
  /// application manager (running applications, launch and quit notifications).
  void startManagers();

  /// Opens a window of the application `bundle` (made and tracked on first use) and admits it through the
  /// window manager, as a created window is; the window's own move notifications are still on their way.
  AXUIElement admitWindow(const sim::SimWindowConfig& config, const std::string& bundle = "org.example.Editor");
  /// Admits a window and lets it settle where its placement puts it (3 s).
  AXUIElement settledWindow(const sim::SimWindowConfig& config = {.frame = CGRectMake(100, 100, 800, 600)},
                            const std::string& bundle = "org.example.Editor");
  /// The process of the application `bundle` made by admitWindow (0 before).
  pid_t pidOf(const std::string& bundle) const;
  /// The layout item that holds the window (null when none does).
  std::shared_ptr<LayoutItem> itemOf(const AXUIElement& window) const;

  /// Stores a remembered placement of window `index` of `bundle` at `fractions`.
  AutoLayoutModelPtr storeRecord(const std::string& bundle, std::int64_t index, const CGRect& fractions,
                                 std::int64_t screenCount = 1, std::int64_t windowID = 0,
                                 std::int64_t screenIndex = 0);
  /// Every stored remembered placement and history record, in the database's order.
  std::vector<AutoLayoutModelPtr> records() const;
  std::vector<WindowMovingModelPtr> history() const;

  /// Where the window is now (the zero rectangle when it is gone).
  CGRect frameOf(const AXUIElement& window) const;
  /// Whether the window is on a desktop shown now.
  bool isShown(const AXUIElement& window) const;
  /// Shows desktop `number` (numbered across the displays) and tells whether the window is on it.
  bool shownOn(const AXUIElement& window, int number);
  /// The position and size requests that reached windows so far, in order.
  std::vector<Request> requests() const;

  /// The captured log lines that contain `text`, in order.
  std::vector<std::string> logLines(std::string_view text) const;

  LogManager::Capture log;

 private:
  std::unique_ptr<sim::SimDesktop> sim_;
  std::unique_ptr<Desktop::Scope> scope_;
  std::map<std::string, pid_t> pids_;
};

/// The fractions (x, y, width, height) of a record.
CGRect fractionsOf(const AutoLayoutModel& model);

}  // namespace tilvane::test
