#include "crashreporting/Capture/VRDUtilities.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "crashreporting/Capture/VRDHex.h"
#include "crashreporting/platform/Sha1.h"
#include "platform/base/Uuid.h"

namespace crashreporting {

bool VRDUnlinkIfExists(const char* path) noexcept {
  if (unlink(path) == 0) return true;
  return errno == ENOENT;
}

const char* VRDErrorText(int error) noexcept {
  const char* text = strerrordesc_np(error);
  return text != nullptr ? text : "Unknown error";
}

std::uint64_t VRDHostGetPageSize() noexcept {
  const long size = sysconf(_SC_PAGESIZE);
  return size > 0 ? static_cast<std::uint64_t>(size) : 4096;
}

void VRDDladdrInfo(std::uint64_t address, const std::function<void(const char*, const char*)>& step) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(address), &info) == 0) {
    step(nullptr, nullptr);
    return;
  }
  step(info.dli_sname ? info.dli_sname : "unknown", info.dli_fname ? info.dli_fname : "unknown");
}

std::string VRDGenerateUUID() { return tilvane::makeUuidString(); }

std::string VRDNormalizeUUID(const std::string& uuid) {
  std::string out;
  for (const char c : uuid) {
    if (c != '-') out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return out;
}

std::string VRDGenerateNormalizedUUID() { return VRDNormalizeUUID(VRDGenerateUUID()); }

std::string VRDNSDataToHexString(const Data& data) {
  std::string out(2 * data.size(), '\0');
  for (std::size_t i = 0; i < data.size(); ++i) VRDHexEncodeByte(data[i], out.data() + 2 * i);
  return out;
}

std::string VRDSHA1HexStringFromBytes(const void* bytes, std::size_t length) {
  return sha1Hex(std::string_view(static_cast<const char*>(bytes), length));
}

std::string VRDSHA1HexStringFromData(const Data& data) {
  return VRDSHA1HexStringFromBytes(data.data(), data.size());
}

}  // namespace crashreporting
