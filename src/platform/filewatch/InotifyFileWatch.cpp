// The Linux file watch: one inotify descriptor on the main loop, watching the folders a path runs through.
#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "platform/dispatch/MainQueue.h"
#include "platform/filewatch/FileWatch.h"

namespace tilvane::filewatch {
namespace {

namespace fs = std::filesystem;

// Gone or moved away: the path must be looked up again.
constexpr std::uint32_t kSelf = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// A folder holding a name on the path: whatever may change what that name reads as.
constexpr std::uint32_t kHolder =
    kSelf | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB;
// The nearest folder that exists on the way to one that does not: the next one made or moved in.
constexpr std::uint32_t kAncestor = kSelf | IN_CREATE | IN_MOVED_TO;
// Links followed from one to the next before giving up (a loop).
constexpr int kMaxLinks = 40;

bool isFolder(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/// What to watch in one folder: the names whose events matter there (none: only the folder's own move or end).
struct Wanted {
  fs::path folder;
  std::uint32_t mask = 0;
  std::set<std::string> names;
};

/// The folders `file` depends on, by device and inode, so a folder reached by two ways is watched once.
class Plan {
 public:
  explicit Plan(const fs::path& file) {
    fs::path entry = file;
    for (int link = 0; link <= kMaxLinks; ++link) {
      const fs::path folder = entry.parent_path();
      if (!holder(folder, entry.filename().string())) return;
      struct stat st {};
      if (::lstat(entry.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return;
      // A link: its target's folder matters too.
      char target[PATH_MAX];
      const ssize_t n = ::readlink(entry.c_str(), target, sizeof target - 1);
      if (n <= 0) return;
      const fs::path next(std::string(target, static_cast<std::size_t>(n)));
      entry = (next.is_absolute() ? next : folder / next).lexically_normal();
    }
  }
  const std::map<std::pair<dev_t, ino_t>, Wanted>& folders() const { return folders_; }

 private:
  /// Watches `folder` for `name`, or, when the folder is missing, its nearest existing ancestor for the next
  /// folder on the way. False when the folder is missing.
  bool holder(fs::path folder, std::string name) {
    bool exists = true;
    while (!folder.empty() && !isFolder(folder)) {
      exists = false;
      name = folder.filename().string();
      if (folder == folder.parent_path()) return false;
      folder = folder.parent_path();
    }
    if (folder.empty()) return false;
    add(folder, exists ? kHolder : kAncestor, name);
    // A folder further up moved away takes the whole path with it.
    for (fs::path up = folder; up.has_relative_path(); up = up.parent_path()) add(up.parent_path(), kSelf, {});
    return exists;
  }
  void add(const fs::path& folder, std::uint32_t mask, const std::string& name) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return;
    Wanted& wanted = folders_[{st.st_dev, st.st_ino}];
    if (wanted.folder.empty()) wanted.folder = folder;
    wanted.mask |= mask;
    if (!name.empty()) wanted.names.insert(name);
  }

  std::map<std::pair<dev_t, ino_t>, Wanted> folders_;
};

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
    std::map<int, std::set<std::string>> names;
    const Plan plan(file_);
    for (const auto& [inode, wanted] : plan.folders()) {
      const int wd = ::inotify_add_watch(fd_, wanted.folder.c_str(), wanted.mask);
      if (wd >= 0) names[wd].insert(wanted.names.begin(), wanted.names.end());
    }
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
  std::error_code ec;
  const fs::path absolute = fs::absolute(file, ec).lexically_normal();
  return std::make_unique<InotifyFileWatch>(ec ? file : absolute, std::move(changed), fd, *loop);
}

}  // namespace tilvane::filewatch
