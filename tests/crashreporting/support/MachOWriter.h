#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Builds Mach-O bytes for the readers' tests.

namespace crashreporting::test {

using Bytes = std::vector<std::uint8_t>;

/// Appends little-endian words (the byte order of the machines these files come from) or big-endian ones.
struct MachOWriter {
  Bytes bytes;
  MachOWriter& u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  MachOWriter& u64(std::uint64_t v) {
    u32(static_cast<std::uint32_t>(v));
    return u32(static_cast<std::uint32_t>(v >> 32));
  }
  MachOWriter& be32(std::uint32_t v) {
    for (int i = 3; i >= 0; --i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  MachOWriter& name(const char* s) {
    char field[16] = {};
    std::memcpy(field, s, strnlen(s, sizeof field));
    bytes.insert(bytes.end(), field, field + 16);
    return *this;
  }
  MachOWriter& raw(const Bytes& b) {
    bytes.insert(bytes.end(), b.begin(), b.end());
    return *this;
  }
  /// An LC_LOAD_DYLIB command naming `path`, padded to a multiple of 8 bytes.
  MachOWriter& loadDylib(const std::string& path) {
    const auto size = static_cast<std::uint32_t>((24 + path.size() + 1 + 7) / 8 * 8);
    u32(0xc).u32(size).u32(24).u32(2).u32(0x10000).u32(0x10000);
    bytes.insert(bytes.end(), path.begin(), path.end());
    bytes.resize(bytes.size() + (size - 24 - path.size()), 0);
    return *this;
  }
};

}  // namespace crashreporting::test
