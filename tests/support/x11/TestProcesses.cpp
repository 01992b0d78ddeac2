#include "support/x11/TestProcesses.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <thread>

namespace tilvane::test::x11 {
namespace {

struct Process {
  pid_t pid = 0;
  std::string name;
  char state = '?';
  pid_t parent = 0;
  std::string started;  // clock ticks after boot: with the pid, names one process for good
};

std::optional<Process> readProcess(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  const auto open = line.find('(');
  const auto close = line.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  Process p;
  p.pid = pid;
  p.name = line.substr(open + 1, close - open - 1);
  std::istringstream rest(line.substr(close + 1));
  std::vector<std::string> fields{std::istream_iterator<std::string>(rest), {}};
  // Fields from the state on: state (3), parent (4), ..., start time (22).
  if (fields.size() < 20) return std::nullopt;
  p.state = fields[0].empty() ? '?' : fields[0][0];
  p.parent = static_cast<pid_t>(std::atoi(fields[1].c_str()));
  p.started = fields[19];
  return p;
}

/// Whether the process `p` still runs: the same pid and start time, not a zombie.
bool stillRuns(const Process& p) {
  const auto now = readProcess(p.pid);
  return now && now->started == p.started && now->state != 'Z';
}

std::string markOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  const std::string prefix = std::string(kTestOwnerVariable) + "=";
  std::string entry;
  while (std::getline(in, entry, '\0'))
    if (entry.rfind(prefix, 0) == 0) return entry.substr(prefix.size());
  return "";
}

/// Whether the test process a mark names still runs.
bool ownerRuns(const std::string& mark) {
  const auto dot = mark.find('.');
  if (dot == std::string::npos) return false;
  Process owner;
  owner.pid = static_cast<pid_t>(std::atoi(mark.substr(0, dot).c_str()));
  owner.started = mark.substr(dot + 1);
  return owner.pid > 0 && stillRuns(owner);
}

/// Running processes (other than this one) whose mark `chosen` picks.
std::vector<Process> markedProcesses(const std::function<bool(const std::string&)>& chosen) {
  std::vector<Process> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    const auto pid = static_cast<pid_t>(std::atoi(name.c_str()));
    if (pid == getpid()) continue;
    const auto p = readProcess(pid);
    if (!p || p->state == 'Z') continue;
    const std::string mark = markOf(pid);
    if (!mark.empty() && chosen(mark)) found.push_back(*p);
  }
  return found;
}

/// Waits at most `seconds` until none of `processes` runs; a child of this process that ended is reaped.
void awaitEnd(const std::vector<Process>& processes, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  for (;;) {
    bool any = false;
    for (const Process& p : processes) {
      if (p.parent == getpid()) waitpid(p.pid, nullptr, WNOHANG);
      any = any || stillRuns(p);
    }
    if (!any || std::chrono::steady_clock::now() >= end) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

/// Ends every process `chosen` picks, and what they leave marked as they end (a script's child).
std::vector<std::string> endChosen(const std::function<bool(const std::string&)>& chosen) {
  std::vector<std::string> ended;
  for (int round = 0; round < 5; ++round) {
    std::vector<Process> found = markedProcesses(chosen);
    if (found.empty()) break;
    for (const Process& p : found) {
      kill(p.pid, SIGTERM);
      const std::string said = p.name + " (" + std::to_string(p.pid) + ")";
      if (std::find(ended.begin(), ended.end(), said) == ended.end()) ended.push_back(said);
    }
    awaitEnd(found, 3.0);
    for (const Process& p : found)
      if (stillRuns(p)) kill(p.pid, SIGKILL);
    awaitEnd(found, 2.0);
  }
  return ended;
}

}  // namespace

ProcessMark::ProcessMark() {
  const auto self = readProcess(getpid());
  mark_ = std::to_string(getpid()) + "." + (self ? self->started : "0");
  env_ = std::make_unique<ScopedEnv>(kTestOwnerVariable, mark_);
}

ProcessMark::~ProcessMark() { endMarked(); }

std::vector<std::string> ProcessMark::endMarked() const {
  return endChosen([this](const std::string& mark) { return mark == mark_; });
}

std::vector<std::string> ProcessMark::endLeftByGoneTests() {
  return endChosen([](const std::string& mark) { return !ownerRuns(mark); });
}

}  // namespace tilvane::test::x11
