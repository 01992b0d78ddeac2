#pragma once

#include <filesystem>
#include <string>

#include "platform/defaults/Value.h"

namespace tilvane::test {

/// Writes `text` to `file`, making its folders.
void writeText(const std::filesystem::path& file, const std::string& text);

/// Makes the folder `bundle` with "Contents/Info.plist" holding `info`.
void makeBundle(const std::filesystem::path& bundle, const defaults::Dictionary& info);

}  // namespace tilvane::test
