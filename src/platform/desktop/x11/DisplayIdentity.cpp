#include "platform/desktop/x11/DisplayIdentity.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace tilvane::x11 {

std::string displayIdentity(const std::string& displayName) {
  const char* env = std::getenv("DISPLAY");
  const std::string name = displayName.empty() ? (env ? env : "") : displayName;
  char* host = nullptr;
  int display = 0;
  int screen = 0;
  if (name.empty() || !xcb_parse_display(name.c_str(), &host, &display, &screen)) return name;
  const std::unique_ptr<char, decltype(&std::free)> owned(host, &std::free);
  std::string where = host ? host : "";
  if (where == "unix") where.clear();
  return where + ":" + std::to_string(display);
}

}  // namespace tilvane::x11
