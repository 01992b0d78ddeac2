#pragma once

#include <filesystem>
#include <string>

#include "platform/defaults/Value.h"

namespace tilvane::test {

/// How a fake bundle's Info.plist is written.
enum class PlistFormat { xml, binary };

/// Makes the folder `bundle` with "Contents/Info.plist" holding `info` (and "Contents/Resources").
void makeBundle(const std::filesystem::path& bundle, const defaults::Dictionary& info,
                PlistFormat format = PlistFormat::xml);

/// Writes `text` to `file`, making its folders.
void writeText(const std::filesystem::path& file, const std::string& text);

}  // namespace tilvane::test
