#include "platform/desktop/NSApplication.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/ProgramServer.h"

namespace tilvane {
namespace {

/// The program server of a backend whose window toolkit activates the program and stacks its windows.
class ToolkitProgramServer final : public ProgramServer {
 public:
  void activateIgnoringOtherApps(bool) override {}
  void orderFront(std::uint64_t) override {}
  void setWindowLevel(std::uint64_t, CGWindowLevel) override {}
};

}  // namespace

ProgramServer& Desktop::programServer() {
  // Stateless, so one instance can serve every backend without a program server of its own.
  static ToolkitProgramServer toolkit;
  return toolkit;
}

void NSApplication::activateIgnoringOtherApps(bool flag) {
  if (Desktop* desktop = Desktop::current()) desktop->programServer().activateIgnoringOtherApps(flag);
}

void NSApplication::makeKeyAndOrderFront(std::uint64_t windowNumber) {
  if (Desktop* desktop = Desktop::current()) desktop->programServer().orderFront(windowNumber);
}

void NSApplication::setWindowLevel(std::uint64_t windowNumber, CGWindowLevel level) {
  if (Desktop* desktop = Desktop::current()) desktop->programServer().setWindowLevel(windowNumber, level);
}

}  // namespace tilvane
