#include "crashreporting/Capture/VRDFileReader.h"

#include <cstdint>
#include <cstring>

#include "crashreporting/Capture/VRDHex.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSafeRead.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/Json.h"
#include "platform/base/Utf8.h"

namespace crashreporting {

FileContents VRDFileReadWhole(const std::string& path) {
  FileContents contents = readFileContents(path);
  if (contents.status == FileContents::Status::unreadable) {
    VRDLogWarn("Unable to read file %s: %s\n", path.c_str(), contents.error.c_str());
  } else if (!contents.ok()) {
    VRDLogWarn("Unable to read file %s\n", path.c_str());
  }
  return contents;
}

std::optional<Array> VRDFileReadSections(const char* path, bool deleteOnFailure,
                                         const VRDFileSectionTransform& transform) {
  if (reinterpret_cast<std::uintptr_t>(path) < VRDMinimumValidAddress) {
    VRDLogError("Error: input path is invalid\n");
    return std::nullopt;
  }
  const FileContents contents = VRDFileReadWhole(path);
  if (!contents.ok()) {
    if (deleteOnFailure && !failedForNow(contents)) std::remove(path);
    return std::nullopt;
  }
  return VRDFileSections(contents.bytes, transform);
}

Array VRDFileSections(std::string_view all, const VRDFileSectionTransform& transform) {
  Array sections;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string error;
    if (auto value = json::decode(all.substr(start, end - start), error)) {
      if (transform) {
        if (auto replaced = transform(std::move(*value))) sections.push_back(std::move(*replaced));
      } else {
        sections.push_back(std::move(*value));
      }
    }
    start = end + 1;
  }
  return sections;
}

std::string VRDFileHexEncodeString(const char* text) {
  const std::size_t length = std::strlen(text);
  std::string out(2 * length, '\0');
  for (std::size_t i = 0; i < length; ++i) VRDHexEncodeByte(static_cast<std::uint8_t>(text[i]), out.data() + 2 * i);
  return out;
}

std::optional<std::string> VRDFileHexDecodeString(const char* text) {
  std::string bytes;
  for (const char* p = text; p[0] != '\0' && p[1] != '\0'; p += 2) {
    const std::uint8_t high = VRDHexDigitValue(p[0]);
    const std::uint8_t low = VRDHexDigitValue(p[1]);
    if (high == 255 || low == 255) break;
    bytes.push_back(static_cast<char>((high << 4) | low));
  }
  if (tilvane::sanitizeUtf8(bytes) != bytes) return std::nullopt;
  return bytes;
}

}  // namespace crashreporting
