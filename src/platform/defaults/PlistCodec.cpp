#include "platform/defaults/PlistCodec.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

// g++ 12 at -O2 and above reports the moves of optional<Value> variants here as maybe-uninitialized, a known false
// positive of its variant analysis; nothing here reads an unset value.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace tilvane::defaults {
namespace {

struct PlistFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// A file of ours is two levels deep at most; anything much deeper is not one.
constexpr int kMaxDepth = 64;

/// Walks a parsed tree. Nodes of types we do not keep are skipped; a tree nested deeper than kMaxDepth sets
/// `tooDeep` and stops the walk.
class Reader {
 public:
  bool tooDeep = false;

  std::optional<Value> read(plist_t node, int depth) {
    if (depth > kMaxDepth) {
      tooDeep = true;
      return std::nullopt;
    }
    switch (plist_get_node_type(node)) {
      case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
      }
      case PLIST_UINT: {
        // The format keeps signed values in the same 64 bits.
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<std::int64_t>(u));
      }
      case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
      }
      case PLIST_STRING: {
        std::uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        return Value(s ? std::string(s, static_cast<std::size_t>(length)) : std::string());
      }
      case PLIST_DATA: {
        std::uint64_t length = 0;
        const char* p = plist_get_data_ptr(node, &length);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(p);
        return Value(p ? Data(bytes, bytes + length) : Data());
      }
      case PLIST_ARRAY: {
        Array array;
        const std::uint32_t n = plist_array_get_size(node);
        for (std::uint32_t i = 0; i < n && !tooDeep; ++i)
          if (auto v = read(plist_array_get_item(node, i), depth + 1)) array.push_back(std::move(*v));
        return Value(std::move(array));
      }
      case PLIST_DICT:
        return Value(readDictionary(node, depth));
      default:
        return std::nullopt;
    }
  }

  Dictionary readDictionary(plist_t node, int depth) {
    Dictionary dict;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    if (!it) return dict;
    while (!tooDeep) {
      char* rawKey = nullptr;
      plist_t item = nullptr;
      plist_dict_next_item(node, it, &rawKey, &item);
      const std::string key = rawKey ? rawKey : "";
      std::free(rawKey);
      if (!item) break;
      if (auto value = read(item, depth + 1)) dict.insert_or_assign(key, std::move(*value));
    }
    std::free(it);
    return dict;
  }
};

plist_t toNode(const Value& value) {
  return std::visit(
      [](const auto& v) -> plist_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return plist_new_bool(v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return plist_new_uint(static_cast<std::uint64_t>(v));
        } else if constexpr (std::is_same_v<T, double>) {
          return plist_new_real(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return plist_new_string(v.c_str());
        } else if constexpr (std::is_same_v<T, Data>) {
          return plist_new_data(reinterpret_cast<const char*>(v.data()), v.size());
        } else if constexpr (std::is_same_v<T, Array>) {
          plist_t array = plist_new_array();
          for (const auto& item : v) plist_array_append_item(array, toNode(item));
          return array;
        } else {
          plist_t dict = plist_new_dict();
          for (const auto& [key, item] : v) plist_dict_set_item(dict, key.c_str(), toNode(item));
          return dict;
        }
      },
      value.storage());
}

}  // namespace

std::optional<Dictionary> decodePlistDictionary(std::string_view bytes, std::string& error) {
  if (bytes.empty()) {
    error = "the file is empty";
    return std::nullopt;
  }
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
    error = "the file is too large";
    return std::nullopt;
  }
  plist_t raw = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &raw);
  const PlistPtr root(raw);
  if (!root) {
    error = "not a property list";
    return std::nullopt;
  }
  if (plist_get_node_type(root.get()) != PLIST_DICT) {
    error = "the root of the property list is not a dictionary";
    return std::nullopt;
  }
  Reader reader;
  Dictionary dict = reader.readDictionary(root.get(), 0);
  if (reader.tooDeep) {
    error = "the property list is nested too deeply";
    return std::nullopt;
  }
  return dict;
}

std::string encodePlistXml(const Dictionary& dictionary) {
  const PlistPtr root(toNode(Value(dictionary)));
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root.get(), &xml, &length);
  std::string out = xml ? std::string(xml, length) : std::string();
  plist_to_xml_free(xml);
  return out;
}

}  // namespace tilvane::defaults
