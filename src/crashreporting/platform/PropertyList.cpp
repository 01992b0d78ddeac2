#include "crashreporting/platform/PropertyList.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

#include "platform/base/Utf8.h"

namespace crashreporting::plist {
namespace {

struct NodeFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using NodePtr = std::unique_ptr<void, NodeFree>;

// Info dictionaries and our own files are a few levels deep.
constexpr int kMaxDepth = 128;

struct Decoder {
  bool tooDeep = false;

  std::optional<Value> value(plist_t node, int depth) {
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
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<std::int64_t>(u));  // the format keeps signed integers in the same 64 bits
      }
      case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
      }
      case PLIST_STRING:
      case PLIST_KEY: {
        std::uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        return Value(s ? std::string(s, static_cast<std::size_t>(length)) : std::string());
      }
      case PLIST_DATA: {
        std::uint64_t length = 0;
        const auto* p = reinterpret_cast<const std::uint8_t*>(plist_get_data_ptr(node, &length));
        return Value(p ? Data(p, p + length) : Data());
      }
      case PLIST_ARRAY: {
        Array items;
        const std::uint32_t count = plist_array_get_size(node);
        for (std::uint32_t i = 0; i < count && !tooDeep; ++i) {
          if (auto item = value(plist_array_get_item(node, i), depth + 1)) items.push_back(std::move(*item));
        }
        return Value(std::move(items));
      }
      case PLIST_DICT:
        return Value(dictionary(node, depth));
      default:
        return std::nullopt;
    }
  }

  Dictionary dictionary(plist_t node, int depth) {
    Dictionary members;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    while (it && !tooDeep) {
      char* key = nullptr;
      plist_t item = nullptr;
      plist_dict_next_item(node, it, &key, &item);
      const std::unique_ptr<char, decltype(&std::free)> ownedKey(key, &std::free);
      if (!item) break;
      if (auto v = value(item, depth + 1)) members.insert_or_assign(key ? key : "", std::move(*v));
    }
    std::free(it);
    return members;
  }
};

/// Builds the node tree; a null anywhere makes the whole encoding fail.
NodePtr node(const Value& value, bool& hasNull) {
  return NodePtr(std::visit(
      [&](const auto& v) -> plist_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Value::Null>) {
          hasNull = true;
          return plist_new_string("");
        } else if constexpr (std::is_same_v<T, bool>) {
          return plist_new_bool(v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return plist_new_uint(static_cast<std::uint64_t>(v));
        } else if constexpr (std::is_same_v<T, double>) {
          return plist_new_real(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return plist_new_string(tilvane::sanitizeUtf8(v).c_str());
        } else if constexpr (std::is_same_v<T, Data>) {
          return plist_new_data(reinterpret_cast<const char*>(v.data()), v.size());
        } else if constexpr (std::is_same_v<T, Array>) {
          plist_t array = plist_new_array();
          for (const auto& item : v) plist_array_append_item(array, node(item, hasNull).release());
          return array;
        } else {
          plist_t dict = plist_new_dict();
          for (const auto& [key, item] : v)
            plist_dict_set_item(dict, tilvane::sanitizeUtf8(key).c_str(), node(item, hasNull).release());
          return dict;
        }
      },
      value.storage()));
}

}  // namespace

std::optional<Value> decode(std::string_view bytes, std::string& error) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
    error = bytes.empty() ? "empty" : "too large";
    return std::nullopt;
  }
  plist_t raw = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &raw);
  const NodePtr root(raw);
  if (!root) {
    error = "not a property list";
    return std::nullopt;
  }
  Decoder decoder;
  auto result = decoder.value(root.get(), 0);
  if (decoder.tooDeep) {
    error = "nested too deeply";
    return std::nullopt;
  }
  if (!result) error = "the root is of a type that is not kept";
  return result;
}

std::optional<std::string> encodeXml(const Value& value, std::string& error) {
  bool hasNull = false;
  const NodePtr root = node(value, hasNull);
  if (hasNull) {
    error = "a property list cannot hold a null";
    return std::nullopt;
  }
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root.get(), &xml, &length);
  if (!xml) {
    error = "the property list could not be written";
    return std::nullopt;
  }
  std::string out(xml, length);
  plist_to_xml_free(xml);
  return out;
}

}  // namespace crashreporting::plist
