#include "crashreporting/platform/PropertyList.h"

#include "platform/base/Utf8.h"
#include "platform/defaults/PlistCodec.h"

// g++ 12 at -O2 and above reports the moves of optional<Value> variants here as maybe-uninitialized, a known false
// positive of its variant analysis; nothing here reads an unset value.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// The file format itself is the user-defaults layer's codec; here its values become the library's, which also
// know JSON's null.

namespace crashreporting::plist {
namespace {

namespace defaults = tilvane::defaults;

Value fromDefaults(const defaults::Value& value) {
  return std::visit(
      [](const auto& v) -> Value {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, defaults::Array>) {
          Array items;
          items.reserve(v.size());
          for (const auto& item : v) items.push_back(fromDefaults(item));
          return Value(std::move(items));
        } else if constexpr (std::is_same_v<T, defaults::Dictionary>) {
          Dictionary members;
          for (const auto& [key, item] : v) members.emplace(key, fromDefaults(item));
          return Value(std::move(members));
        } else {
          return Value(v);
        }
      },
      value.storage());
}

/// None when a null stands anywhere inside.
std::optional<defaults::Value> toDefaults(const Value& value) {
  return std::visit(
      [](const auto& v) -> std::optional<defaults::Value> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Value::Null>) {
          return std::nullopt;
        } else if constexpr (std::is_same_v<T, std::string>) {
          return defaults::Value(tilvane::sanitizeUtf8(v));
        } else if constexpr (std::is_same_v<T, Array>) {
          defaults::Array items;
          for (const auto& item : v) {
            auto converted = toDefaults(item);
            if (!converted) return std::nullopt;
            items.push_back(std::move(*converted));
          }
          return defaults::Value(std::move(items));
        } else if constexpr (std::is_same_v<T, Dictionary>) {
          defaults::Dictionary members;
          for (const auto& [key, item] : v) {
            auto converted = toDefaults(item);
            if (!converted) return std::nullopt;
            members.insert_or_assign(tilvane::sanitizeUtf8(key), std::move(*converted));
          }
          return defaults::Value(std::move(members));
        } else {
          return defaults::Value(v);
        }
      },
      value.storage());
}

}  // namespace

std::optional<Dictionary> decodeDictionary(std::string_view bytes, std::string& error) {
  const auto decoded = defaults::decodePlistDictionary(bytes, error);
  if (!decoded) return std::nullopt;
  return *fromDefaults(defaults::Value(*decoded)).get<Dictionary>();
}

std::optional<std::string> encodeXml(const Dictionary& dictionary, std::string& error) {
  const auto converted = toDefaults(Value(dictionary));
  if (!converted) {
    error = "a property list cannot hold a null";
    return std::nullopt;
  }
  return defaults::encodePlistXml(*converted->get<defaults::Dictionary>());
}

}  // namespace crashreporting::plist
