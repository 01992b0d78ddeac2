#include "platform/desktop/sim/SimProgramServer.h"

namespace tilvane::sim {

void SimProgramServer::activateIgnoringOtherApps(bool flag) {
  ++activations_;
  if (flag) ++ignoringOthers_;
  if (activationObserver_) activationObserver_();
}

void SimProgramServer::orderFront(std::uint64_t windowNumber) {
  keyWindow_ = windowNumber;
}

void SimProgramServer::setWindowLevel(std::uint64_t windowNumber, CGWindowLevel level) {
  levels_[windowNumber] = level;
}

std::optional<CGWindowLevel> SimProgramServer::windowLevel(std::uint64_t windowNumber) const {
  const auto found = levels_.find(windowNumber);
  if (found == levels_.end()) return std::nullopt;
  return found->second;
}

}  // namespace tilvane::sim
