#pragma once

#include <filesystem>
#include <optional>
#include <string>

// Damage in the analytics folder (a folder, FIFO or link in place of an events log, gz or package, a read error,
// an oversize file) is said as the report store's is, at warning whatever the debug switch, and the item is set
// aside once, into `<analytics root>/damaged/`, so that it is neither tried again at every start nor lost unseen.

namespace crashreporting {

/// Moves `item` into the damaged folder beside the events folder it lies in (or beside `crash_metadata`, in the
/// analytics root) and says so with `why`; at most ten are kept, the oldest removed first. The kept path, or none
/// when it could not be moved (said too).
std::optional<std::filesystem::path> VZDSetAsideDamagedItem(const std::filesystem::path& analyticsRoot,
                                                           const std::filesystem::path& item, const std::string& why);

}  // namespace crashreporting
