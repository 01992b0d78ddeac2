#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crashreporting/Kit/VRDImageUUID.h"

namespace crashreporting {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One ELF note: name and description padded to 4 bytes.
Bytes note(std::uint32_t type, const std::string& name, const Bytes& desc) {
  Bytes out;
  for (const std::uint32_t word :
       {static_cast<std::uint32_t>(name.size() + 1), static_cast<std::uint32_t>(desc.size()), type}) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(word >> shift));
  }
  out.insert(out.end(), name.begin(), name.end());
  out.resize((out.size() + 1 + 3) & ~std::size_t{3});
  out.insert(out.end(), desc.begin(), desc.end());
  out.resize((out.size() + 3) & ~std::size_t{3});
  return out;
}

// The bytes 1, 2, … n.
Bytes count(std::uint8_t n) {
  Bytes out;
  for (std::uint8_t i = 1; i <= n; ++i) out.push_back(i);
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Whatever the build-id's length, the UUID is 32 digits: its first 16 bytes, zero-padded; the notes before it
// are passed over, and a note that runs past the end gives none.
TEST(ImageUUID, IsTheStartOfTheBuildIDIn32Digits) {
  const Bytes abiTag = note(1, "GNU", Bytes(16, 0));
  const Bytes sha1 = note(3, "GNU", count(20));
  const struct {
    Bytes notes;
    std::string uuid;  // empty: none
  } cases[] = {
      {abiTag + sha1, "0102030405060708090a0b0c0d0e0f10"},
      {note(3, "GNU", count(8)), "01020304050607080000000000000000"},
      {note(3, "GNU", count(16)), "0102030405060708090a0b0c0d0e0f10"},
      {abiTag + note(3, "Go", count(20)), ""},
      {note(3, "GNU", {}), ""},
      {Bytes(sha1.begin(), sha1.end() - 4), ""},
  };
  for (const auto& c : cases) {
    char uuid[VRDImageUUIDCapacity] = {};
    EXPECT_EQ(VRDImageUUIDFromNotes(c.notes.data(), c.notes.size(), uuid), !c.uuid.empty()) << c.uuid;
    if (!c.uuid.empty()) {
      EXPECT_EQ(std::string(uuid), c.uuid);
    }
  }
}

}  // namespace
}  // namespace crashreporting
