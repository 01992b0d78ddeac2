#pragma once

#include <filesystem>
#include <functional>

namespace tilvane::test {

/// Exit codes of runAsNobody() that are not the body's.
enum AsNobodyFailure {
  kCouldNotDropRoot = 120,
  kFolderUnreachable = 121,  ///< nobody cannot reach `owned`: its parent folders are private (see TMPDIR)
  kBodyThrew = 122,
};

/// Runs `body` in a child process as user nobody, so that permission checks apply even when the tests run as
/// root. `owned` and everything in it are given to nobody first. Returns the child's exit code: body's result,
/// one of AsNobodyFailure, or -1 when the child did not exit.
int runAsNobody(const std::filesystem::path& owned, const std::function<int()>& body);

}  // namespace tilvane::test
