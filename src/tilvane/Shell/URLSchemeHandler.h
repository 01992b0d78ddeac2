#pragma once

#include <string_view>

#include "Models/ModelsFwd.h"

namespace tilvane {

/// Acts on a URL of the application's scheme, sent by any program:
///   //space?id=<workspace id>      restores that stored workspace
///   //action?target=layoutall      lays out every managed window again (on a later turn of the main queue)
///   //action?target=toggle         publishes AppBridge::toggleAutoLayout
///   //action?target=preferences    publishes 0 on AppBridge::openPreferences
///   //action?target=advanced       publishes AppBridge::openAdvanced
///   //action?target=updates        publishes AppBridge::checkForUpdates
/// The host and the target ignore case; the item names and the id do not; only the first "id" or "target"
/// item counts. Anything else, text that is not a URL included, is ignored without a word. The scheme itself
/// is not looked at. Main thread only.
class URLSchemeHandler {
 public:
  /// What the handler lays out with; by default the shared layout manager.
  class Layouts {
   public:
    virtual ~Layouts() = default;
    virtual void layoutWorkspace(const WorkspaceLayoutGroupModel& group) = 0;
    virtual void layoutAll() = 0;
  };

  URLSchemeHandler();
  /// `layouts` must outlive the handler and the main-queue task a "layoutall" request leaves behind.
  explicit URLSchemeHandler(Layouts& layouts) : layouts_(layouts) {}

  void handleGetURLEvent(std::string_view url);

 private:
  Layouts& layouts_;
};

}  // namespace tilvane
