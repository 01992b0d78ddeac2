#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crashreporting/platform/Value.h"

namespace crashreporting::plist {

/// The root dictionary of a property list, XML or binary. None, with a reason in `error`, when the bytes are
/// not a property list, its root is no dictionary, or it is nested deeper than any file of ours. Dates and
/// UIDs, which no caller reads, are left out.
std::optional<Dictionary> decodeDictionary(std::string_view bytes, std::string& error);

/// `dictionary` as an XML property list; none, with a reason, when it holds a null (which the format cannot
/// hold). Text that is not valid UTF-8 is cleaned first, so the file always reads back.
std::optional<std::string> encodeXml(const Dictionary& dictionary, std::string& error);

}  // namespace crashreporting::plist
