#pragma once

#include <functional>
#include <string>

#include "platform/store/Database.h"

namespace tilvane {

/// One write of the Workspaces pane: opens the default database and runs `change` in one write transaction.
/// A failure is logged at error level as "workspace change was not saved: <what>: <reason>" and the caller
/// learns of it, so nothing is shown or announced as stored that was not.
bool writeWorkspaceChange(const std::string& what, const std::function<void(store::Database&)>& change);

}  // namespace tilvane
