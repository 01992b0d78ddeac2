#include "crashreporting/platform/TruthValue.h"

#include <cctype>

namespace crashreporting {

bool VRDBoolFromText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (i < text.size() && text[i] == '0') ++i;
  if (i >= text.size()) return false;
  const char c = text[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

bool VRDBoolValue(const Value& value) {
  if (const auto* text = value.get<std::string>()) return VRDBoolFromText(*text);
  return value.boolValue();
}

}  // namespace crashreporting
