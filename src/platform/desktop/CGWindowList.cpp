#include "platform/desktop/CGWindowList.h"

#include "platform/desktop/Desktop.h"

namespace tilvane {

std::optional<std::vector<CGWindowInfo>> CGWindowListCopyWindowInfo(CGWindowListOption option,
                                                                     CGWindowID relativeToWindow) {
  Desktop* desktop = Desktop::current();
  // Listing relative to a window is not something the program asks for; refuse rather than guess.
  if (!desktop || relativeToWindow != kCGNullWindowID) return std::nullopt;
  return desktop->applicationServer().copyWindowInfo(option);
}

}  // namespace tilvane
