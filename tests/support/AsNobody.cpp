#include "support/AsNobody.h"

#include <sys/wait.h>
#include <unistd.h>

namespace tilvane::test {

int runAsNobody(const std::filesystem::path& owned, const std::function<int()>& body) {
  constexpr uid_t kNobody = 65534;
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (geteuid() == 0) {
      std::error_code error;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(owned, error))
        if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0) _exit(kCouldNotDropRoot);
      if (error || ::chown(owned.c_str(), kNobody, kNobody) != 0) _exit(kCouldNotDropRoot);
      if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(kCouldNotDropRoot);
    }
    if (::access(owned.c_str(), X_OK) != 0) _exit(kFolderUnreachable);
    int code = kBodyThrew;
    try {
      code = body();
    } catch (...) {
    }
    _exit(code);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace tilvane::test
