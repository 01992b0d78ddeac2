#include "platform/desktop/x11/ProcessFacts.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tilvane::x11 {
namespace {

/// Bounds the read; the launcher puts its mark first, so it is always within.
constexpr std::size_t kMaxEnvironment = 1 << 20;

std::string procPath(pid_t pid, const char* leaf) { return "/proc/" + std::to_string(pid) + "/" + leaf; }

double ticksPerSecond() {
  const long ticks = ::sysconf(_SC_CLK_TCK);
  return ticks > 0 ? static_cast<double>(ticks) : 100.0;
}

/// Closes the descriptor it holds.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::optional<std::string> startEnvironmentValue(pid_t pid, std::string_view name) {
  if (pid <= 0 || name.empty()) return std::nullopt;
  const Descriptor file{::open(procPath(pid, "environ").c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return std::nullopt;
  std::string data;
  char buffer[8192];
  while (data.size() < kMaxEnvironment) {
    const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  std::string_view rest(data);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\0');
    const std::string_view entry = rest.substr(0, end);
    // An entry cut off by the read limit is no value.
    if (end == std::string_view::npos && data.size() >= kMaxEnvironment) break;
    if (entry.size() > name.size() && entry.substr(0, name.size()) == name && entry[name.size()] == '=')
      return std::string(entry.substr(name.size() + 1));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return std::nullopt;
}

std::optional<double> processStartSeconds(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  std::ifstream file(procPath(pid, "stat"));
  std::string line;
  if (!std::getline(file, line)) return std::nullopt;
  // The command name in parentheses may hold blanks and parentheses itself: fields count from the last ')'.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  // Field 22, start time in ticks after boot; the state (field 3) is the first after the name.
  for (int number = 3; number <= 22; ++number)
    if (!(fields >> field)) return std::nullopt;
  char* end = nullptr;
  const unsigned long long ticks = std::strtoull(field.c_str(), &end, 10);
  if (end == field.c_str() || *end != '\0') return std::nullopt;
  return static_cast<double>(ticks) / ticksPerSecond();
}

std::vector<pid_t> runningProcesses() {
  std::vector<pid_t> pids;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    char* end = nullptr;
    const long pid = std::strtol(name.c_str(), &end, 10);
    if (!name.empty() && *end == '\0' && pid > 0) pids.push_back(static_cast<pid_t>(pid));
  }
  return pids;
}

double bootClockSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const double hz = ticksPerSecond();
  const double ticks = std::floor((static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9) * hz);
  return ticks / hz;
}

}  // namespace tilvane::x11
