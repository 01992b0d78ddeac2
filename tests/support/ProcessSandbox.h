#pragma once

#include "support/TestEnvironment.h"

namespace tilvane::test {

/// What every test process runs inside: HOME and the XDG folders under a temporary directory, so no test can
/// read or write the user's settings, database or logs, even one that forgets to redirect them. Put back and
/// removed when it goes. The program's (and the crash library's) web addresses point at a closed port of this machine, so no test, nor a
/// program it starts, sends anything elsewhere; a test that wants the requests points them at its own server.
class ProcessSandbox {
  ScopedTempDir root_;
  ScopedEnv home_{"HOME", root_.path().string()};
  ScopedEnv data_{"XDG_DATA_HOME", (root_.path() / "data").string()};
  ScopedEnv config_{"XDG_CONFIG_HOME", (root_.path() / "config").string()};
  ScopedEnv run_{"XDG_RUNTIME_DIR", (root_.path() / "run").string()};
  ScopedEnv home_url_{"TILVANE_HOME_URL", "http://127.0.0.1:9/"};
  ScopedEnv announcement_url_{"TILVANE_REMOTE_NOTIFICATION_URL", "http://127.0.0.1:9/notification/remote"};
  // The crash library's settings and registration services.
  ScopedEnv settings_endpoint_{"SettingsEndpoint", "http://127.0.0.1:9"};
  ScopedEnv configure_endpoint_{"ConfigureEndpoint", "http://127.0.0.1:9"};
};

}  // namespace tilvane::test
