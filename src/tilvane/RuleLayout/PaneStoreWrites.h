#pragma once

#include <string>

#include "Models/ModelsFwd.h"

namespace tilvane {

// The Apps pane's writes to the default database. Each is one write transaction and answers whether it was
// committed; a failure (no usable database, a failed commit) is logged at error level, every time, since each
// is a user's action that did not take effect.

/// Adds `rule` over the stored rule of the same id (replacing all its fields), or stores it.
bool saveStoredRule(const RuleLayoutModelPtr& rule);
/// Deletes the stored rules with id `bundleID`; true also when none was stored.
bool deleteStoredRule(const std::string& bundleID);
/// Adds the record of an application added by hand.
bool storeExtensionApp(const ExtensionAppModelPtr& app);

}  // namespace tilvane
