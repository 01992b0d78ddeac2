#include "platform/desktop/AXUIElement.h"

#include <sstream>

#include "platform/desktop/Desktop.h"

namespace tilvane {

AXUIElement AXUIElementCreateApplication(pid_t pid) {
  return AXUIElement{AXUIElement::Role::application, pid, static_cast<std::uint64_t>(pid)};
}

AXError AXUIElementCopyAttributeValue(const AXUIElement& element, std::string_view attribute, AXValue& value) {
  value = std::monostate{};
  Desktop* desktop = Desktop::current();
  if (!desktop) return AXError::apiDisabled;
  AXValue read;
  const AXError error = desktop->applicationServer().copyAttributeValue(element, attribute, read);
  if (error == AXError::success) value = std::move(read);
  return error;
}

std::string describe(const AXUIElement& element) {
  const char* role = element.isApplication() ? "application" : element.isWindow() ? "window" : "element";
  std::ostringstream out;
  out << "<AXUIElement " << role << " 0x" << std::hex << element.id << std::dec << " pid " << element.pid << '>';
  return out.str();
}

}  // namespace tilvane
