#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/x11/Properties.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

// What the program reads of one client window, each from the properties the client or the window manager set.
// Every read tolerates a window that vanished meanwhile (it reads as absent).

/// _NET_WM_DESKTOP value of a window shown on every desktop.
inline constexpr std::uint32_t kAllDesktops = 0xFFFFFFFFu;

/// How much of the type and state lists is read (items, and the bytes to ask for).
inline constexpr std::uint32_t kMaxTypes = 32;
inline constexpr std::uint32_t kMaxTypeBytes = kMaxTypes * 4;
inline constexpr std::uint32_t kMaxStates = 64;
inline constexpr std::uint32_t kMaxStateBytes = kMaxStates * 4;

// Each query*() reads the properties it needs at once; each *From() answers from values read already (a cache's),
// with the same rules.

/// The title: _NET_WM_NAME, else WM_NAME; absent when neither is a text.
std::optional<std::string> queryTitle(const XConnection& x, xcb_window_t window);
std::optional<std::string> titleFrom(const std::optional<PropertyValue>& netWmName,
                                     const std::optional<PropertyValue>& wmName, const Atoms& atoms);

/// The Accessibility subrole for the window's EWMH type (the first type of the list the program knows):
/// normal "AXStandardWindow", dialog "AXDialog", utility, toolbar and menu "AXFloatingWindow", the rest
/// (dock, desktop, splash, notification ...) "AXUnknown". Without a known type: "AXDialog" for a transient
/// window (WM_TRANSIENT_FOR set), as EWMH says, else "AXStandardWindow".
std::string subroleForTypes(const std::vector<std::uint32_t>& types, const Atoms& atoms, bool transient);
std::string querySubrole(const XConnection& x, xcb_window_t window);
/// From _NET_WM_WINDOW_TYPE and WM_TRANSIENT_FOR.
std::string subroleFrom(const std::optional<PropertyValue>& types, const std::optional<PropertyValue>& transientFor,
                        const Atoms& atoms);

/// Whether the window is minimised: _NET_WM_STATE_HIDDEN, or (for window managers without it) the ICCCM
/// iconic state while on the desktop shown (`currentDesktop`).
bool queryMinimized(const XConnection& x, xcb_window_t window, std::optional<std::uint32_t> currentDesktop);
bool minimizedFrom(const std::optional<PropertyValue>& netWmState, const std::optional<PropertyValue>& wmState,
                   const std::optional<PropertyValue>& desktop, std::optional<std::uint32_t> currentDesktop,
                   const Atoms& atoms);

/// Whether the window manager lets others move the window: _NET_WM_ALLOWED_ACTIONS holds
/// _NET_WM_ACTION_MOVE (a window manager that does not publish the list allows it), and the window is no
/// dock or desktop.
bool queryMovable(const XConnection& x, xcb_window_t window);
/// From _NET_WM_ALLOWED_ACTIONS and _NET_WM_WINDOW_TYPE.
bool movableFrom(const std::optional<PropertyValue>& allowedActions, const std::optional<PropertyValue>& types,
                 const Atoms& atoms);

/// Whether the window is maximised in either direction (it ignores moves until that is undone).
bool queryMaximized(const XConnection& x, xcb_window_t window);
/// From _NET_WM_STATE.
bool maximizedFrom(const std::optional<PropertyValue>& netWmState, const Atoms& atoms);

/// _NET_WM_DESKTOP (kAllDesktops for a sticky window); absent when missing.
std::optional<std::uint32_t> queryWindowDesktop(const XConnection& x, xcb_window_t window);

/// WM_CLASS; absent when missing or malformed.
std::optional<WmClass> queryWmClass(const XConnection& x, xcb_window_t window);

/// Whether a window on `desktop` shows while `current` is shown (a window without desktop shows everywhere).
bool isOnDesktop(std::optional<std::uint32_t> desktop, std::optional<std::uint32_t> current);

}  // namespace tilvane::x11
