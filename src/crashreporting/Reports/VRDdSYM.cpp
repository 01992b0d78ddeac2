#include "crashreporting/Reports/VRDdSYM.h"

#include <system_error>

namespace crashreporting {
namespace {

// The first entry of `folder` in name order, hidden names skipped; none when it holds none or cannot be read.
std::optional<std::filesystem::path> firstEntry(const std::filesystem::path& folder) {
  std::error_code error;
  std::optional<std::filesystem::path> first;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::filesystem::path entry = it->path();
    if (entry.filename().string().starts_with(".")) continue;
    if (!first || entry.filename() < first->filename()) first = entry;
  }
  if (error) return std::nullopt;
  return first;
}

}  // namespace

std::optional<VRDdSYM> VRDdSYM::dSYMWithPath(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_directory(path, error)) return std::nullopt;
  const std::filesystem::path dwarf = path / "Contents" / "Resources" / "DWARF";
  if (!std::filesystem::is_directory(dwarf, error)) return std::nullopt;
  const auto binaryPath = firstEntry(dwarf);
  if (!binaryPath) return std::nullopt;
  std::string reason;
  BundleInfo bundle = BundleInfo::fromFile(path / "Contents" / "Info.plist", reason).value_or(BundleInfo{});
  bundle.bundlePath = path;
  return VRDdSYM(std::move(bundle), VRDMachOBinary::MachOBinaryWithPath(*binaryPath));
}

VRDdSYM::VRDdSYM(BundleInfo bundle, std::optional<VRDMachOBinary> binary)
    : bundle_(std::move(bundle)), binary_(std::move(binary)) {}

std::optional<std::string> VRDdSYM::infoString(std::string_view key) const {
  const Value* value = bundle_.objectForInfoDictionaryKey(key);
  if (value == nullptr || value->get<std::string>() == nullptr) return std::nullopt;
  return *value->get<std::string>();
}

std::optional<std::string> VRDdSYM::bundleIdentifier() const {
  auto identifier = bundle_.bundleIdentifier();
  if (identifier && identifier->starts_with(VRDdSYMBundleIdentifierPrefix)) {
    identifier->erase(0, VRDdSYMBundleIdentifierPrefix.size());
  }
  return identifier;
}

std::optional<std::string> VRDdSYM::bundleVersion() const { return infoString("CFBundleVersion"); }
std::optional<std::string> VRDdSYM::shortBundleVersion() const { return infoString("CFBundleShortVersionString"); }

std::optional<std::filesystem::path> VRDdSYM::executablePath() const {
  if (!binary_) return std::nullopt;
  return binary_->path();
}

void VRDdSYM::enumerateUUIDs(const VRDMachOBinary::UUIDBlock& block) const {
  if (binary_) binary_->enumerateUUIDs(block);
}

}  // namespace crashreporting
