#include "crashreporting/Capture/VRDHost.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUtilities.h"
#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/platform/HostFacts.h"
#include "platform/base/XdgPaths.h"

namespace crashreporting {
namespace {

// −1: no override; 0 or 1: the fixed answer.
std::atomic<int> debuggerOverride{-1};

std::string sysctlOrFailed(const char* name) {
  return HostFacts::current().sysctlString(name).value_or("(failed)");
}

}  // namespace

void VRDHostInitialize() {
  VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (readOnly == nullptr) return;
  readOnly->host.pageSize = VRDHostGetPageSize();
  std::filesystem::path documents;
  if (const char* xdg = std::getenv("XDG_DOCUMENTS_DIR"); xdg != nullptr && *xdg != '\0') {
    documents = xdg;
  } else {
    documents = tilvane::xdg::home() / "Documents";
  }
  std::error_code error;
  readOnly->host.documentsDirectory =
      std::filesystem::is_directory(documents, error) ? VRDDupString(documents.c_str()) : nullptr;
}

bool VRDHostRecord(VRDFile* file) {
  VRDFileWriteSectionStart(file, "host");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryNSString(file, "model", ZIZHostGetModel());
  VRDFileWriteHashEntryNSString(file, "machine", sysctlOrFailed("hw.machine"));
  VRDFileWriteHashEntryNSString(file, "cpu", sysctlOrFailed("machdep.cpu.brand_string"));
  VRDFileWriteHashEntryNSString(file, "os_build_version", ZIZHostGetOSBuildVersion());
  VRDFileWriteHashEntryNSString(file, "os_display_version", ZIZHostGetOSDisplayVersion());
  VRDFileWriteHashEntryString(file, "platform", ZIZPlatform);
  VRDFileWriteHashEntryNSString(file, "locale", VRDHostLocaleIdentifier());
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
  return true;
}

std::int32_t VRDHostGetOSVersionNumber() { return ZIZHostGetOSVersionNumber(); }

__attribute__((noinline)) std::uintptr_t VRDProcessGetCurrentPC() noexcept {
  return reinterpret_cast<std::uintptr_t>(__builtin_extract_return_addr(__builtin_return_address(0)));
}

bool VRDProcessDebuggerAttached() noexcept {
  const int forced = debuggerOverride.load();
  if (forced >= 0) return forced == 1;
  const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    VRDLogWarn("sysctl failed while trying to get kinfo_proc\n");
    return false;
  }
  char buffer[4096];
  std::size_t fill = 0;
  ssize_t n;
  while (fill < sizeof buffer - 1 && (n = read(fd, buffer + fill, sizeof buffer - 1 - fill)) > 0) {
    fill += static_cast<std::size_t>(n);
  }
  close(fd);
  buffer[fill] = '\0';
  const char* line = std::strstr(buffer, "TracerPid:");
  if (line == nullptr) return false;
  line += std::strlen("TracerPid:");
  while (*line == ' ' || *line == '\t') ++line;
  return *line >= '1' && *line <= '9';
}

void VRDProcessSetDebuggerAttachedOverride(std::optional<bool> attached) noexcept {
  debuggerOverride.store(attached ? (*attached ? 1 : 0) : -1);
}

std::string VRDHostLocaleIdentifier() {
  const char* value = nullptr;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && *v != '\0') {
      value = v;
      break;
    }
  }
  std::string locale = value ? value : "";
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale.empty() || locale == "C" || locale == "POSIX") return "en_US_POSIX";
  return locale;
}

}  // namespace crashreporting
