#include "platform/desktop/x11/WindowManagerCheck.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/desktop/x11/Properties.h"

namespace tilvane::x11 {

WindowManagerStatus checkWindowManager(const XConnection& x) {
  const Atoms& a = x.atoms();
  WindowManagerStatus status;
  const std::string where = "on display " + x.displayName();
  const auto check = decodeFirst(readProperty(x, x.root(), a._NET_SUPPORTING_WM_CHECK, 4), XCB_ATOM_WINDOW);
  // The check window names itself; a stale property (the window manager quit) names a window that is gone.
  const auto self = check ? decodeFirst(readProperty(x, *check, a._NET_SUPPORTING_WM_CHECK, 4), XCB_ATOM_WINDOW)
                          : std::nullopt;
  if (!check || !self || *self != *check) {
    status.problem = "no window manager with EWMH support is running " + where +
                     "; Tilvane needs one (openbox, xfwm4, KWin, Mutter ...) to read and move windows";
    return status;
  }
  status.name = decodeText(readProperty(x, *check, a._NET_WM_NAME, kMaxSmallBytes), a).value_or("");

  const auto supported =
      decodeList(readProperty(x, x.root(), a._NET_SUPPORTED, kMaxListBytes), XCB_ATOM_ATOM).value_or(
          std::vector<std::uint32_t>{});
  const std::vector<std::pair<xcb_atom_t, const char*>> needed{
      {a._NET_CLIENT_LIST, "_NET_CLIENT_LIST"},
      {a._NET_ACTIVE_WINDOW, "_NET_ACTIVE_WINDOW"},
      {a._NET_NUMBER_OF_DESKTOPS, "_NET_NUMBER_OF_DESKTOPS"},
      {a._NET_CURRENT_DESKTOP, "_NET_CURRENT_DESKTOP"},
      {a._NET_WM_DESKTOP, "_NET_WM_DESKTOP"},
      {a._NET_FRAME_EXTENTS, "_NET_FRAME_EXTENTS"},
  };
  std::string missing;
  for (const auto& [atom, name] : needed) {
    if (std::find(supported.begin(), supported.end(), atom) == supported.end())
      missing += std::string(missing.empty() ? "" : ", ") + name;
  }
  if (!missing.empty()) {
    const std::string who = status.name.empty() ? "the window manager" : "the window manager \"" + status.name + "\"";
    status.problem = who + " " + where + " does not support " + missing + "; Tilvane cannot read or move windows with it";
    return status;
  }
  status.usable = true;
  return status;
}

}  // namespace tilvane::x11
