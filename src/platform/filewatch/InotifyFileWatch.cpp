// The Linux file watch: one inotify descriptor on the main loop, watching the folders a path runs through and the
// names of the links on it.
#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/filewatch/FileWatch.h"

namespace tilvane::filewatch {
namespace {

namespace fs = std::filesystem;

// Gone or moved away: the path must be looked up again.
constexpr std::uint32_t kSelf = IN_DELETE_SELF | IN_MOVE_SELF;
// A name on the path that is not a folder of its own (a link, one missing, the file): what may replace it.
constexpr std::uint32_t kName = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
// The file's own name: also written or its mode changed.
constexpr std::uint32_t kFile = kName | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB;
// Folders only, never through a link: a link is looked at by its name in its folder.
constexpr std::uint32_t kFolder = IN_ONLYDIR | IN_DONT_FOLLOW;
// Links followed before giving up (a loop), as the system does when it opens a file.
constexpr int kMaxLinks = 40;
// Looks again at a link that stopped being one while it was read.
constexpr int kMaxRetries = 8;

/// The watches of one look at the path: the names that matter in each watched folder, by watch descriptor.
class Watches {
 public:
  explicit Watches(int fd) : fd_(fd) {}
  /// Watches `folder` (a path without links) for `mask`, adding to what this look asked of it, and for `name`
  /// in it when one is given. False when it is no folder (or the system gives no watch).
  bool add(const fs::path& folder, std::uint32_t mask, const std::string& name = {}) {
    std::uint32_t& all = masks_[folder.string()];
    const int wd = ::inotify_add_watch(fd_, folder.c_str(), (all | mask) | kFolder);
    if (wd < 0) return false;
    all |= mask;
    std::set<std::string>& names = names_[wd];
    if (!name.empty()) names.insert(name);
    return true;
  }
  std::map<int, std::set<std::string>> take() { return std::move(names_); }

 private:
  const int fd_;
  std::map<std::string, std::uint32_t> masks_;
  std::map<int, std::set<std::string>> names_;
};

/// Looks `file` up name by name from the root, as the system does when it opens it, each watch set before the
/// look it guards: every folder passed is watched for its own move or removal, and the folder holding a name that
/// is no folder (a link, at any level; one missing; the file) for that name. A link's target is then looked up in
/// its place, so a link re-pointed, replaced by a rename, or its target moved or replaced, is seen wherever it is.
void watchPath(const fs::path& file, Watches& watches) {
  std::deque<std::string> left;
  for (const fs::path& part : file.relative_path()) left.push_back(part.string());
  fs::path at = file.root_path();  // where the names looked up so far lead: a folder, no link on its path
  if (!watches.add(at, kSelf)) return;
  int links = 0;
  int retries = 0;
  while (!left.empty()) {
    const std::string name = std::move(left.front());
    left.pop_front();
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      at = at.parent_path();
      continue;
    }
    const fs::path entry = at / name;
    const bool last = left.empty();
    if (!last && watches.add(entry, kSelf)) {
      at = entry;
      continue;
    }
    if (!watches.add(at, last ? kFile : kName, name)) return;
    struct stat st {};
    if (::lstat(entry.c_str(), &st) != 0) return;  // missing: its folder tells when it comes
    if (!last && S_ISDIR(st.st_mode)) {
      // A folder that gives no watch of its own (not readable), or made just now: its name guards it.
      at = entry;
      continue;
    }
    if (!S_ISLNK(st.st_mode)) return;  // the file, or something else in the way
    char target[PATH_MAX];
    const ssize_t n = ::readlink(entry.c_str(), target, sizeof target - 1);
    if (n < 0 && errno == EINVAL && ++retries <= kMaxRetries) {  // no longer a link: looked at again
      left.push_front(name);
      continue;
    }
    if (n <= 0 || ++links > kMaxLinks) return;
    const fs::path next(std::string(target, static_cast<std::size_t>(n)));
    std::vector<std::string> parts;
    for (const fs::path& part : next.relative_path()) parts.push_back(part.string());
    left.insert(left.begin(), parts.begin(), parts.end());
    if (next.is_absolute()) at = next.root_path();
  }
}

class InotifyFileWatch final : public FileWatch {
 public:
  InotifyFileWatch(fs::path file, std::function<void()> changed, int fd, dispatch::MainLoop& loop)
      : file_(std::move(file)), changed_(std::move(changed)), fd_(fd), loop_(loop) {
    arm();
    watch_ = loop_.watchFd(fd_, [this] { read(); });
  }
  ~InotifyFileWatch() override {
    loop_.unwatchFd(watch_);
    ::close(fd_);  // ends every watch on it
  }
  InotifyFileWatch(const InotifyFileWatch&) = delete;
  InotifyFileWatch& operator=(const InotifyFileWatch&) = delete;

 private:
  /// Watches what the path runs through now, and lets go of what it no longer does.
  void arm() {
    Watches watches(fd_);
    watchPath(file_, watches);
    std::map<int, std::set<std::string>> names = watches.take();
    for (const auto& [wd, unused] : names_)
      if (!names.contains(wd)) ::inotify_rm_watch(fd_, wd);
    names_ = std::move(names);
  }

  /// Takes every waiting event; when one concerns the path, watches it afresh and says so once.
  void read() {
    bool concerned = false;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        concerned = concerned || concerns(*event);
      }
    }
    if (!concerned) return;
    arm();
    changed_();
  }

  bool concerns(const inotify_event& event) const {
    if (event.mask & IN_Q_OVERFLOW) return true;  // events were lost
    const auto watched = names_.find(event.wd);
    if (watched == names_.end()) return false;  // a watch let go of
    if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) return true;
    return event.len > 0 && watched->second.contains(event.name);
  }

  const fs::path file_;
  const std::function<void()> changed_;
  const int fd_;
  dispatch::MainLoop& loop_;
  dispatch::TaskId watch_ = 0;
  /// The names that matter in each watched folder, by watch descriptor.
  std::map<int, std::set<std::string>> names_;
};

}  // namespace

std::unique_ptr<FileWatch> watchFile(const fs::path& file, std::function<void()> changed, std::string& error) {
  dispatch::MainLoop* loop = dispatch::MainQueue::loop();
  if (!loop) {
    error = "no main loop to deliver file notifications on";
    return nullptr;
  }
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    error = std::string("cannot watch files: ") + std::strerror(errno);
    return nullptr;
  }
  // Not made normal: a ".." after a link leads where the system's open leads, from the link's target.
  std::error_code ec;
  const fs::path absolute = fs::absolute(file, ec);
  return std::make_unique<InotifyFileWatch>(ec ? file : absolute, std::move(changed), fd, *loop);
}

}  // namespace tilvane::filewatch
