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

// Decodes one UTF-8 sequence at `i`; -1 when it is ill-formed (overlong, surrogate, beyond U+10FFFF, cut short).
long nextCodePoint(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  long cp = 0;
  long minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, minimum = 0x10000;
  } else {
    return -1;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size()) return -1;
    const auto next = static_cast<unsigned char>(s[i++]);
    if ((next & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  return cp;
}

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
          for (const auto& item : v)
            if (fitsPlistXml(item)) plist_array_append_item(array, toNode(item));
          return array;
        } else {
          plist_t dict = plist_new_dict();
          for (const auto& [key, item] : v)
            if (isXmlText(key) && fitsPlistXml(item)) plist_dict_set_item(dict, key.c_str(), toNode(item));
          return dict;
        }
      },
      value.storage());
}

}  // namespace

bool isXmlText(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const long cp = nextCodePoint(text, i);
    if (cp < 0) return false;
    if (cp < 0x20 && cp != 0x09 && cp != 0x0A && cp != 0x0D) return false;
    if (cp == 0xFFFE || cp == 0xFFFF) return false;
  }
  return true;
}

bool fitsPlistXml(const Value& value) {
  if (const auto* s = value.get<std::string>()) return isXmlText(*s);
  if (const auto* array = value.get<Array>()) {
    for (const auto& item : *array)
      if (!fitsPlistXml(item)) return false;
    return true;
  }
  if (const auto* dict = value.get<Dictionary>()) {
    for (const auto& [key, item] : *dict)
      if (!isXmlText(key) || !fitsPlistXml(item)) return false;
  }
  return true;
}

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
