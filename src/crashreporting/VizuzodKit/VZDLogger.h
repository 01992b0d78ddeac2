#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace crashreporting {

/// The analytics kit's diagnostic lines: written to the system log only in debug mode.
class VZDLogger {
 public:
  static VZDLogger& sharedLogger();
  /// "[Vizuzod] " and the text.
  void log(std::string_view text) const;
  /// "[Vizuzod:<label>] " and the text.
  void logWithLabel(std::string_view label, std::string_view text) const;
  bool debugMode() const { return debugMode_; }
  void setDebugMode(bool on) { debugMode_ = on; }

 private:
  std::atomic<bool> debugMode_{false};
};

/// A line the kit writes whatever the debug mode ("[Vizuzod] …" messages about refused attributes).
void VZDAlwaysLog(std::string_view line);

}  // namespace crashreporting
