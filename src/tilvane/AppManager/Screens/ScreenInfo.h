#pragma once

#include <map>
#include <string>

#include "platform/desktop/Geometry.h"

namespace tilvane {

/// One display as the screen manager knows it.
struct ScreenInfo {
  /// The display's UUID as the window server names it; empty when it names none.
  std::string id;
  /// The display's frame (display space) at the last rebuild.
  CGRect frame;
  /// Its desktops: desktop UUID to desktop number.
  std::map<std::string, int> spaces;

  bool operator==(const ScreenInfo&) const = default;
};

}  // namespace tilvane
