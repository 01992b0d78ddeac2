#include "Methods.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tilvane::bench {

void HotKeyMethod::prepare() {
  for (const xcb_keycode_t m : modifiers_) x_.key(m, true);
}

void HotKeyMethod::start(std::size_t targetIndex, const Rect&) {
  pressed_ = keys_[targetIndex];
  x_.key(pressed_, true);
}

void HotKeyMethod::finish() {
  x_.key(pressed_, false);
  for (auto it = modifiers_.rbegin(); it != modifiers_.rend(); ++it) x_.key(*it, false);
}

void CommandMethod::start(std::size_t, const Rect& rect) {
  const std::vector<std::string> args = argv_(rect);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  if (posix_spawnp(&child_, argv[0], &actions, nullptr, argv.data(), environ) != 0) child_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

void CommandMethod::finish() {
  if (child_ > 0) waitpid(child_, nullptr, 0);
  child_ = -1;
}

}  // namespace tilvane::bench
