#pragma once

#include <functional>

#include "platform/rx/Disposable.h"

namespace tilvane {

/// Whether the installed desktop composites the program's windows (ProgramServer::isCompositing; true without a
/// desktop), for windows that draw themselves translucent. Main thread only.
struct WindowCompositing {
  static bool isActive();
  /// Calls `changed` on the main loop each time a compositing manager has started or stopped, while the
  /// subscription lives; never without a desktop.
  static rx::Disposable observe(std::function<void()> changed);
};

}  // namespace tilvane
