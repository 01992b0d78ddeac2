#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/defaults/Value.h"

namespace tilvane::defaults {

/// The root dictionary of a property list, XML or binary. None, with a reason in `error`, when the bytes are not
/// a property list or its root is not a dictionary. Entries of types a defaults value cannot hold (dates, UIDs)
/// are left out.
std::optional<Dictionary> decodePlistDictionary(std::string_view bytes, std::string& error);

/// `dictionary` as an XML property list.
std::string encodePlistXml(const Dictionary& dictionary);

}  // namespace tilvane::defaults
