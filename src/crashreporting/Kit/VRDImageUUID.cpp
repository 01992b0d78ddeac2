#include "crashreporting/Kit/VRDImageUUID.h"

#include <cstring>

namespace crashreporting {
namespace {

constexpr std::uint32_t kNoteGNUBuildID = 3;  // NT_GNU_BUILD_ID

struct NoteHeader {
  std::uint32_t nameSize;
  std::uint32_t descSize;
  std::uint32_t type;
};

constexpr std::uint64_t padded(std::uint32_t size) { return (std::uint64_t{size} + 3) & ~std::uint64_t{3}; }

// The digit at `index` of the 32-digit form of `text`: its own, or a padding zero past its end.
char digitAt(std::string_view text, std::size_t index) { return index < text.size() ? text[index] : '0'; }

}  // namespace

void VRDImageUUIDFormat(const std::uint8_t* bytes, std::size_t count, char* out) noexcept {
  static constexpr char digits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < VRDImageUUIDBytes; ++i) {
    const std::uint8_t byte = i < count ? bytes[i] : 0;
    out[2 * i] = digits[byte >> 4];
    out[2 * i + 1] = digits[byte & 0xF];
  }
  out[VRDImageUUIDDigits] = '\0';
}

bool VRDImageUUIDFromNotes(const std::uint8_t* notes, std::uint64_t size, char* out) noexcept {
  std::uint64_t at = 0;
  while (size - at >= sizeof(NoteHeader)) {
    NoteHeader note;
    std::memcpy(&note, notes + at, sizeof note);
    const std::uint64_t name = at + sizeof note;
    const std::uint64_t desc = name + padded(note.nameSize);
    const std::uint64_t next = desc + padded(note.descSize);
    if (next > size) break;
    if (note.type == kNoteGNUBuildID && note.nameSize == 4 && std::memcmp(notes + name, "GNU", 4) == 0 &&
        note.descSize > 0) {
      VRDImageUUIDFormat(notes + desc, note.descSize, out);
      return true;
    }
    at = next;
  }
  return false;
}

bool VRDImageUUIDMatches(std::string_view recorded, std::string_view uuid) noexcept {
  if (recorded.empty() || uuid.empty()) return false;
  for (std::size_t i = 0; i < VRDImageUUIDDigits; ++i) {
    if (digitAt(recorded, i) != digitAt(uuid, i)) return false;
  }
  return true;
}

}  // namespace crashreporting
