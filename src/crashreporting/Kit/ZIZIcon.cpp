#include "crashreporting/Kit/ZIZIcon.h"

#include <array>

#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/Sha1.h"

namespace crashreporting {
namespace {

constexpr std::array<std::uint8_t, 8> kPNGSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Icons are small; a larger file is no icon we would send.
constexpr std::size_t kMaxIconBytes = 8 * 1024 * 1024;

std::uint32_t bigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

}  // namespace

ZIZIcon::ZIZIcon(Data data, ZIZSize size, bool prerendered)
    : data_(std::move(data)),
      dataHash_(sha1Hex(std::string_view(reinterpret_cast<const char*>(data_.data()), data_.size()))),
      size_(size),
      prerendered_(prerendered) {}

std::optional<ZIZIcon> ZIZIcon::initWithImage(const Data& png) {
  // Signature, then the IHDR chunk: length, "IHDR", width, height.
  if (png.size() < 24 || !std::equal(kPNGSignature.begin(), kPNGSignature.end(), png.begin())) return std::nullopt;
  if (std::string_view(reinterpret_cast<const char*>(png.data()) + 12, 4) != "IHDR") return std::nullopt;
  const double width = bigEndian32(png.data() + 16);
  const double height = bigEndian32(png.data() + 20);
  if (width == 0 || height == 0) return std::nullopt;
  return ZIZIcon(png, {width, height}, true);
}

const std::optional<ZIZIcon>& ZIZAppIconUtility::applicationIcon() {
  if (!fetched_) {
    applicationIcon_ = fetchApplicationIcon(MainBundle::get());
    fetched_ = true;
  }
  return applicationIcon_;
}

std::optional<ZIZIcon> ZIZAppIconUtility::fetchApplicationIcon(const std::optional<BundleInfo>& bundle) {
  if (!bundle || !bundle->bundlePath) return std::nullopt;
  const Value* name = bundle->objectForInfoDictionaryKey("CFBundleIconFile");
  const auto* text = name ? name->get<std::string>() : nullptr;
  if (!text || text->empty()) return std::nullopt;
  std::filesystem::path file(*text);
  // A name, not a path: nothing outside the bundle is read.
  if (file.has_parent_path() || file == "." || file == "..") return std::nullopt;
  if (!file.has_extension()) file += ".png";
  for (const auto& folder : {*bundle->bundlePath / "Contents" / "Resources", *bundle->bundlePath}) {
    const FileContents contents = readFileContents(folder / file, kMaxIconBytes);
    if (!contents.ok()) continue;
    if (auto icon = ZIZIcon::initWithImage(Data(contents.bytes.begin(), contents.bytes.end()))) return icon;
  }
  return std::nullopt;
}

}  // namespace crashreporting
