#pragma once

#include <string>
#include <vector>

#include "Models/ModelsFwd.h"
#include "platform/desktop/Launcher.h"
#include "platform/desktop/sim/SimLauncher.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/WorkspaceLayout/WorkspaceItem.h"

namespace tilvane::test {

/// A message the message window showed, and when (seconds since the test began).
struct ShownMessage {
  std::string text;
  double time = 0;
  bool operator==(const ShownMessage&) const = default;
};

/// A window world with four shared desktops, the managers started, and a record of the messages shown.
class RestoreWorld : public WindowWorld {
 protected:
  explicit RestoreWorld(int spaces = 4);

  sim::SimLauncher& launcher() { return sim().simLauncher(); }
  /// Scripts `bundle` to start 0.2 s after a launch (by `key`, default the bundle) and show a window 0.5 s later.
  void scriptApp(const std::string& bundle, const std::string& key = {});
  /// The key codes of the Control key-downs posted so far, in order.
  std::vector<int> desktopKeys() const;
  /// A workspace of these items (not stored).
  static WorkspaceLayoutGroupModelPtr workspace(const std::vector<WorkspaceLayoutItemModelPtr>& items);
  /// The windows of the running application `bundle` (every desktop); empty when it does not run.
  std::vector<AXUIElement> windowsOfBundle(const std::string& bundle);
  /// Seconds since the test began.
  double now() { return loop().elapsed(); }

  std::vector<ShownMessage> messages;
};

}  // namespace tilvane::test
