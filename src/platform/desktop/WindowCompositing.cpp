#include "platform/desktop/WindowCompositing.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/ProgramServer.h"

namespace tilvane {

bool WindowCompositing::isActive() {
  Desktop* desktop = Desktop::current();
  return !desktop || desktop->programServer().isCompositing();
}

rx::Disposable WindowCompositing::observe(std::function<void()> changed) {
  Desktop* desktop = Desktop::current();
  if (!desktop || !changed) return {};
  return desktop->notificationCenter().compositingDidChange().subscribe(
      [changed = std::move(changed)](const rx::Unit&) { changed(); });
}

}  // namespace tilvane
