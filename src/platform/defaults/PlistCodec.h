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

/// Whether `text` can stand in an XML property list as it is: valid UTF-8 of characters XML allows (no NUL, no
/// control characters but tab, line feed and carriage return, no U+FFFE or U+FFFF).
bool isXmlText(std::string_view text);
/// Whether every key and string inside `value` is XML text.
bool fitsPlistXml(const Value& value);

/// `dictionary` as an XML property list. Entries whose key or string is not XML text are left out (the format
/// has no way to write them), so the result is always well-formed.
std::string encodePlistXml(const Dictionary& dictionary);

}  // namespace tilvane::defaults
