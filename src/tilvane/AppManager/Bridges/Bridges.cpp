#include "AppManager/Bridges/Bridges.h"

namespace tilvane {

// Function-local statics: made once on first use, guarded by the language's thread-safe initialisation.
#define TILVANE_SUBJECT(Bus, name, T)    \
  rx::PublishSubject<T>& Bus::name() {   \
    static rx::PublishSubject<T> subject; \
    return subject;                      \
  }

TILVANE_SUBJECT(AppBridge, checkForUpdates, rx::Unit)
TILVANE_SUBJECT(AppBridge, showBuildInLayoutActionChanged, rx::Unit)
TILVANE_SUBJECT(AppBridge, hideInMenuBarChanged, bool)
TILVANE_SUBJECT(AppBridge, toggleAutoLayout, rx::Unit)
TILVANE_SUBJECT(AppBridge, settingsChanged, std::vector<std::string>)
TILVANE_SUBJECT(AppBridge, openPreferences, int)
TILVANE_SUBJECT(AppBridge, openAdvanced, rx::Unit)
TILVANE_SUBJECT(AppBridge, menuItemsUpdated, rx::Unit)
TILVANE_SUBJECT(AppBridge, remoteNotification, RemoteNotification)
TILVANE_SUBJECT(AppBridge, remoteNotificationDetail, rx::Unit)
TILVANE_SUBJECT(AppBridge, quit, rx::Unit)

TILVANE_SUBJECT(WorkspaceBridge, selectedWorkspace, WorkspaceLayoutGroupModelPtr)
TILVANE_SUBJECT(WorkspaceBridge, workspaceRenamed, rx::Unit)
TILVANE_SUBJECT(WorkspaceBridge, workspaceAdded, rx::Unit)
TILVANE_SUBJECT(WorkspaceBridge, workspaceRemoved, rx::Unit)
TILVANE_SUBJECT(WorkspaceBridge, workspaceItemChanged, rx::Unit)

TILVANE_SUBJECT(CustomLayoutBridge, selectedLayout, CustomLayoutModelPtr)
TILVANE_SUBJECT(CustomLayoutBridge, layoutChanged, CustomLayoutModelPtr)
TILVANE_SUBJECT(CustomLayoutBridge, layoutAdded, CustomLayoutModelPtr)
TILVANE_SUBJECT(CustomLayoutBridge, layoutRemoved, CustomLayoutModelPtr)

TILVANE_SUBJECT(RuleLayoutBridge, appChanged, AppDescriptor)
TILVANE_SUBJECT(RuleLayoutBridge, detailRule, AppRule)
TILVANE_SUBJECT(RuleLayoutBridge, ruleSaved, AppRule)

#undef TILVANE_SUBJECT

}  // namespace tilvane
