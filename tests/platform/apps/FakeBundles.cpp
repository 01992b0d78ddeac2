#include "FakeBundles.h"

#include <fstream>

#include "platform/defaults/PlistCodec.h"

namespace tilvane::test {

void writeText(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

void makeBundle(const std::filesystem::path& bundle, const defaults::Dictionary& info) {
  writeText(bundle / "Contents" / "Info.plist", defaults::encodePlistXml(info));
}

}  // namespace tilvane::test
