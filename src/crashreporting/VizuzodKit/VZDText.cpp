#include "crashreporting/VizuzodKit/VZDText.h"

namespace crashreporting {
namespace {

/// The byte length of the UTF-8 sequence starting with `lead` (1 for a stray byte, which stands alone).
std::size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

std::size_t VZDUTF16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = sequenceLength(static_cast<unsigned char>(text[i]));
    units += n == 4 ? 2 : 1;
    i += n;
  }
  return units;
}

std::string VZDPrefixOfUTF16Units(std::string_view text, std::size_t units) {
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t n = sequenceLength(static_cast<unsigned char>(text[i]));
    const std::size_t width = n == 4 ? 2 : 1;
    if (used + width > units || i + n > text.size()) break;
    used += width;
    i += n;
  }
  return std::string(text.substr(0, i));
}

}  // namespace crashreporting
