#include "FakeBundles.h"

#include <plist/plist.h>

#include <fstream>

#include "platform/defaults/PlistCodec.h"

namespace tilvane::test {

void writeText(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

void makeBundle(const std::filesystem::path& bundle, const defaults::Dictionary& info, PlistFormat format) {
  std::filesystem::create_directories(bundle / "Contents" / "Resources");
  std::string bytes = defaults::encodePlistXml(info);
  if (format == PlistFormat::binary) {
    plist_t root = nullptr;
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bin, &length);
    bytes.assign(bin, length);
    plist_to_bin_free(bin);
    plist_free(root);
  }
  writeText(bundle / "Contents" / "Info.plist", bytes);
}

}  // namespace tilvane::test
