#include "crashreporting/platform/MainBundle.h"

#include <mutex>

#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/PropertyList.h"

namespace crashreporting {
namespace {
constexpr std::size_t kMaxInfoFileBytes = 16 * 1024 * 1024;

std::mutex& bundleMutex() {
  static std::mutex m;
  return m;
}
std::optional<BundleInfo>& current() {
  static std::optional<BundleInfo> info;
  return info;
}
}  // namespace

std::optional<BundleInfo> BundleInfo::fromFile(const std::filesystem::path& plistFile, std::string& error) {
  const FileContents read = readFileContents(plistFile, kMaxInfoFileBytes);
  if (!read.ok()) {
    error = read.status == FileContents::Status::absent ? "no such file" : plistFile.string() + ": " + read.error;
    return std::nullopt;
  }
  auto dict = plist::decodeDictionary(read.bytes, error);
  if (!dict) return std::nullopt;
  return BundleInfo{std::move(*dict), std::nullopt};
}

const Value* BundleInfo::objectForInfoDictionaryKey(std::string_view key) const {
  const auto it = infoDictionary.find(key);
  return it == infoDictionary.end() ? nullptr : &it->second;
}

std::optional<std::string> BundleInfo::bundleIdentifier() const {
  const Value* v = objectForInfoDictionaryKey("CFBundleIdentifier");
  const auto* s = v ? v->get<std::string>() : nullptr;
  return s ? std::optional(*s) : std::nullopt;
}

void MainBundle::set(BundleInfo info) {
  const std::lock_guard lock(bundleMutex());
  current() = std::move(info);
}

void MainBundle::clear() {
  const std::lock_guard lock(bundleMutex());
  current().reset();
}

std::optional<BundleInfo> MainBundle::get() {
  const std::lock_guard lock(bundleMutex());
  return current();
}

}  // namespace crashreporting
