#pragma once

#include <string>
#include <vector>

#include "Models/AppDescriptor.h"
#include "Models/ModelsFwd.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

// The event buses: classes that hold only static publish subjects, made on first use (thread-safe) and kept
// for the life of the process. No replay; delivery is synchronous on the publisher's thread.

/// An announcement to show: its title and address.
struct RemoteNotification {
  std::string title;
  std::string url;
};

/// An application with the rule the layout manager holds for it (null when none).
struct AppRule {
  AppDescriptor app;
  RuleLayoutModelPtr rule;
};

class AppBridge {
 public:
  static rx::PublishSubject<rx::Unit>& checkForUpdates();
  static rx::PublishSubject<rx::Unit>& showBuildInLayoutActionChanged();
  /// true when the status-bar icon is to be hidden.
  static rx::PublishSubject<bool>& hideInMenuBarChanged();
  static rx::PublishSubject<rx::Unit>& toggleAutoLayout();
  /// The settings keys whose stored values another program or a hand edit changed, once the file was read again.
  static rx::PublishSubject<std::vector<std::string>>& settingsChanged();
  /// Index of the preferences pane to show (-1: no particular pane).
  static rx::PublishSubject<int>& openPreferences();
  static rx::PublishSubject<rx::Unit>& openAdvanced();
  static rx::PublishSubject<rx::Unit>& menuItemsUpdated();
  static rx::PublishSubject<RemoteNotification>& remoteNotification();
  static rx::PublishSubject<rx::Unit>& remoteNotificationDetail();
  static rx::PublishSubject<rx::Unit>& quit();
};

class WorkspaceBridge {
 public:
  /// The selected workspace, null when nothing is selected.
  static rx::PublishSubject<WorkspaceLayoutGroupModelPtr>& selectedWorkspace();
  static rx::PublishSubject<rx::Unit>& workspaceRenamed();
  static rx::PublishSubject<rx::Unit>& workspaceAdded();
  static rx::PublishSubject<rx::Unit>& workspaceRemoved();
  static rx::PublishSubject<rx::Unit>& workspaceItemChanged();
};

class CustomLayoutBridge {
 public:
  /// The selected layout, null when nothing is selected.
  static rx::PublishSubject<CustomLayoutModelPtr>& selectedLayout();
  /// The saved copy of a changed layout; null after a removal.
  static rx::PublishSubject<CustomLayoutModelPtr>& layoutChanged();
  static rx::PublishSubject<CustomLayoutModelPtr>& layoutAdded();
  static rx::PublishSubject<CustomLayoutModelPtr>& layoutRemoved();
};

class RuleLayoutBridge {
 public:
  static rx::PublishSubject<AppDescriptor>& appChanged();
  static rx::PublishSubject<AppRule>& detailRule();
  static rx::PublishSubject<AppRule>& ruleSaved();
};

/// Buses kept for symmetry; they carry nothing.
class ScreenBridge {};
class WindowBridge {};

}  // namespace tilvane
