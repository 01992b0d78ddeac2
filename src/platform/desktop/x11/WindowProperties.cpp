#include "platform/desktop/x11/WindowProperties.h"

#include <algorithm>

namespace tilvane::x11 {
namespace {
constexpr std::uint32_t kIconicState = 3;  // ICCCM WM_STATE

bool holds(const std::optional<std::vector<std::uint32_t>>& list, xcb_atom_t atom) {
  return list && atom != XCB_ATOM_NONE && std::find(list->begin(), list->end(), atom) != list->end();
}
}  // namespace

std::optional<std::string> queryTitle(const XConnection& x, xcb_window_t window) {
  PropertyRequest net(x, window, x.atoms()._NET_WM_NAME, kMaxTextBytes);
  PropertyRequest icccm(x, window, XCB_ATOM_WM_NAME, kMaxTextBytes);
  return titleFrom(net.get(), icccm.get(), x.atoms());
}

std::optional<std::string> titleFrom(const std::optional<PropertyValue>& netWmName,
                                     const std::optional<PropertyValue>& wmName, const Atoms& atoms) {
  if (auto title = decodeText(netWmName, atoms)) return title;
  return decodeText(wmName, atoms);
}

std::string subroleForTypes(const std::vector<std::uint32_t>& types, const Atoms& a, bool transient) {
  for (const std::uint32_t t : types) {
    if (t == XCB_ATOM_NONE) continue;
    if (t == a._NET_WM_WINDOW_TYPE_NORMAL) return "AXStandardWindow";
    if (t == a._NET_WM_WINDOW_TYPE_DIALOG) return "AXDialog";
    if (t == a._NET_WM_WINDOW_TYPE_UTILITY || t == a._NET_WM_WINDOW_TYPE_TOOLBAR || t == a._NET_WM_WINDOW_TYPE_MENU)
      return "AXFloatingWindow";
    if (t == a._NET_WM_WINDOW_TYPE_DOCK || t == a._NET_WM_WINDOW_TYPE_DESKTOP || t == a._NET_WM_WINDOW_TYPE_SPLASH ||
        t == a._NET_WM_WINDOW_TYPE_NOTIFICATION)
      return "AXUnknown";
  }
  return transient ? "AXDialog" : "AXStandardWindow";
}

std::string querySubrole(const XConnection& x, xcb_window_t window) {
  PropertyRequest types(x, window, x.atoms()._NET_WM_WINDOW_TYPE, kMaxTypeBytes);
  PropertyRequest transientFor(x, window, XCB_ATOM_WM_TRANSIENT_FOR, 4);
  return subroleFrom(types.get(), transientFor.get(), x.atoms());
}

std::string subroleFrom(const std::optional<PropertyValue>& types, const std::optional<PropertyValue>& transientFor,
                        const Atoms& atoms) {
  const auto list = decodeList(types, XCB_ATOM_ATOM, kMaxTypes);
  const auto owner = decodeFirst(transientFor, XCB_ATOM_WINDOW);
  return subroleForTypes(list.value_or(std::vector<std::uint32_t>{}), atoms, owner && *owner != XCB_WINDOW_NONE);
}

bool queryMinimized(const XConnection& x, xcb_window_t window, std::optional<std::uint32_t> currentDesktop) {
  PropertyRequest state(x, window, x.atoms()._NET_WM_STATE, kMaxStateBytes);
  PropertyRequest icccm(x, window, x.atoms().WM_STATE, 8);
  PropertyRequest desktop(x, window, x.atoms()._NET_WM_DESKTOP, 4);
  return minimizedFrom(state.get(), icccm.get(), desktop.get(), currentDesktop, x.atoms());
}

bool minimizedFrom(const std::optional<PropertyValue>& netWmState, const std::optional<PropertyValue>& wmState,
                   const std::optional<PropertyValue>& desktop, std::optional<std::uint32_t> currentDesktop,
                   const Atoms& atoms) {
  const auto states = decodeList(netWmState, XCB_ATOM_ATOM, kMaxStates);
  const auto iconic = decodeFirst(wmState, atoms.WM_STATE);
  const auto onDesktop = decodeFirst(desktop, XCB_ATOM_CARDINAL);
  if (holds(states, atoms._NET_WM_STATE_HIDDEN)) return true;
  // Window managers unmap (iconify, by ICCCM) the windows of other desktops too; only here does it mean minimised.
  return iconic == kIconicState && isOnDesktop(onDesktop, currentDesktop);
}

bool queryMovable(const XConnection& x, xcb_window_t window) {
  PropertyRequest allowed(x, window, x.atoms()._NET_WM_ALLOWED_ACTIONS, kMaxStateBytes);
  PropertyRequest types(x, window, x.atoms()._NET_WM_WINDOW_TYPE, kMaxTypeBytes);
  return movableFrom(allowed.get(), types.get(), x.atoms());
}

bool movableFrom(const std::optional<PropertyValue>& allowedActions, const std::optional<PropertyValue>& types,
                 const Atoms& atoms) {
  const auto actions = decodeList(allowedActions, XCB_ATOM_ATOM, kMaxStates);
  const auto list = decodeList(types, XCB_ATOM_ATOM, kMaxTypes);
  if (holds(list, atoms._NET_WM_WINDOW_TYPE_DOCK) || holds(list, atoms._NET_WM_WINDOW_TYPE_DESKTOP)) return false;
  return !actions || holds(actions, atoms._NET_WM_ACTION_MOVE);
}

bool queryMaximized(const XConnection& x, xcb_window_t window) {
  return maximizedFrom(readProperty(x, window, x.atoms()._NET_WM_STATE, kMaxStateBytes), x.atoms());
}

bool maximizedFrom(const std::optional<PropertyValue>& netWmState, const Atoms& atoms) {
  const auto states = decodeList(netWmState, XCB_ATOM_ATOM, kMaxStates);
  return holds(states, atoms._NET_WM_STATE_MAXIMIZED_VERT) || holds(states, atoms._NET_WM_STATE_MAXIMIZED_HORZ);
}

std::optional<std::uint32_t> queryWindowDesktop(const XConnection& x, xcb_window_t window) {
  return decodeFirst(readProperty(x, window, x.atoms()._NET_WM_DESKTOP, 4), XCB_ATOM_CARDINAL);
}

std::optional<WmClass> queryWmClass(const XConnection& x, xcb_window_t window) {
  return decodeWmClass(readProperty(x, window, XCB_ATOM_WM_CLASS, 2 * 256 + 2));
}

bool isOnDesktop(std::optional<std::uint32_t> desktop, std::optional<std::uint32_t> current) {
  if (!desktop || *desktop == kAllDesktops) return true;
  return current && *desktop == *current;
}

}  // namespace tilvane::x11
