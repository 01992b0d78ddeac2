#include "crashreporting/platform/HostFacts.h"

#include <sys/utsname.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "crashreporting/platform/Immortal.h"

namespace crashreporting {
namespace {

constexpr std::size_t kMaxValueBytes = 127;  // a 128-byte buffer with its terminating NUL

std::optional<std::string> firstLineOf(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

// The first "model name" of /proc/cpuinfo.
std::optional<std::string> cpuModelName() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("model name", 0) != 0) continue;
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    auto begin = line.find_first_not_of(" \t", colon + 1);
    return begin == std::string::npos ? std::string() : line.substr(begin);
  }
  return std::nullopt;
}

class LinuxHostFacts : public HostFacts {
 public:
  OSVersion osVersion() const override {
    utsname names{};
    if (uname(&names) != 0) return {};
    std::int64_t parts[3] = {0, 0, 0};
    const char* p = names.release;
    for (int i = 0; i < 3 && std::isdigit(static_cast<unsigned char>(*p)); ++i) {
      char* end = nullptr;
      parts[i] = std::strtoll(p, &end, 10);
      p = end;
      if (*p != '.') break;
      ++p;
    }
    return {parts[0], parts[1], parts[2]};
  }

  std::optional<std::string> sysctlString(std::string_view name) const override {
    std::optional<std::string> value;
    if (name == "kern.osversion") {
      utsname names{};
      if (uname(&names) == 0) value = names.version;
    } else if (name == "hw.model") {
      value = firstLineOf("/sys/devices/virtual/dmi/id/product_name");
      if (!value) {
        utsname names{};
        if (uname(&names) == 0) value = names.machine;
      }
    } else if (name == "hw.machine") {
      utsname names{};
      if (uname(&names) == 0) value = names.machine;
    } else if (name == "machdep.cpu.brand_string") {
      value = cpuModelName();
    } else if (!name.empty() && name.find("..") == std::string_view::npos &&
               name.find('/') == std::string_view::npos) {
      std::string path = "/proc/sys/";
      for (const char c : name) path.push_back(c == '.' ? '/' : c);
      value = firstLineOf(path);
    }
    if (value && value->size() > kMaxValueBytes) value->resize(kMaxValueBytes);
    return value;
  }
};

std::atomic<const HostFacts*>& installed() {
  static std::atomic<const HostFacts*> facts{nullptr};
  return facts;
}

}  // namespace

const HostFacts& HostFacts::current() {
  // Never destroyed: the analytics queue may still ask while the host returns from main and statics go.
  static const Immortal<LinuxHostFacts> platform([] { return LinuxHostFacts(); });
  const HostFacts* facts = installed().load();
  return facts ? *facts : platform.get();
}

HostFacts::Scoped::Scoped(std::unique_ptr<HostFacts> facts)
    : facts_(std::move(facts)), previous_(installed().exchange(facts_.get())) {}

HostFacts::Scoped::~Scoped() { installed().store(previous_); }

}  // namespace crashreporting
