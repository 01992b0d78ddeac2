#pragma once

#include "support/TestEnvironment.h"

namespace tilvane::test {

/// What every test process runs inside: HOME and the XDG folders under a temporary directory, so no test can
/// read or write the user's settings, database or logs, even one that forgets to redirect them. Put back and
/// removed when it goes.
class ProcessSandbox {
  ScopedTempDir root_;
  ScopedEnv home_{"HOME", root_.path().string()};
  ScopedEnv data_{"XDG_DATA_HOME", (root_.path() / "data").string()};
  ScopedEnv config_{"XDG_CONFIG_HOME", (root_.path() / "config").string()};
  ScopedEnv run_{"XDG_RUNTIME_DIR", (root_.path() / "run").string()};
};

}  // namespace tilvane::test
