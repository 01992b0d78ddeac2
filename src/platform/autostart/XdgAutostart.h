#pragma once

#include <filesystem>
#include <string>

#include "platform/autostart/LaunchAtLogin.h"

namespace tilvane {

/// Launch at login through an XDG autostart entry: enabling writes `<folder>/<name>` (aside, then renamed over
/// the old one), disabling removes it. A failure is reported (log::report) and answers false.
class XdgAutostart final : public LaunchAtLogin {
 public:
  /// The entry `$XDG_CONFIG_HOME/autostart/tilvane.desktop` (the folder read at every call), starting `program`
  /// (empty: this process's executable).
  explicit XdgAutostart(std::string program = {});
  /// An entry at `file` starting `program`.
  XdgAutostart(std::filesystem::path file, std::string program);

  bool enableLaunchAtLogin() override;
  bool disableLaunchAtLogin() override;
  /// True when the entry is there.
  bool isLaunchAtLoginEnabled() const override;

  /// Where the entry is (or would be) now.
  std::filesystem::path entryPath() const;
  /// The entry's text for `program`.
  static std::string entryText(const std::string& program);

 private:
  std::filesystem::path file_;
  std::string program_;
};

}  // namespace tilvane
