#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tilvane {

/// The cases of a layout type stored as its raw value (0, 1, 2, ... in declaration order), with the
/// localisation key of each case's title by raw value.
template <class Type, std::size_t N>
struct LayoutTypeTable {
  std::array<std::string_view, N> titleKeys;

  /// The case of a stored raw value; absent for a value that names none.
  constexpr std::optional<Type> fromRaw(std::int64_t raw) const {
    if (raw < 0 || raw >= static_cast<std::int64_t>(N)) return std::nullopt;
    return static_cast<Type>(raw);
  }
  constexpr std::string_view titleKey(Type type) const {
    const auto raw = static_cast<std::size_t>(type);
    return raw < N ? titleKeys[raw] : std::string_view{};
  }
};

}  // namespace tilvane
