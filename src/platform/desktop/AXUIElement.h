#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tilvane {

// Accessibility elements and attribute reads, as the program uses them: an application or one of its windows,
// named by value. The installed desktop backend (Desktop::current()) answers every read. Main thread only.

/// A window's number in the window server (an X window id on X11); 0 names no window.
using CGWindowID = std::uint32_t;

/// One Accessibility element. Two elements are equal when they name the same object of the same process.
struct AXUIElement {
  enum class Role : std::uint8_t { application, window, other };
  Role role = Role::other;
  /// The process that owns the element.
  pid_t pid = 0;
  /// Windows: their window number. Other roles: whatever the backend needs to tell its elements apart.
  std::uint64_t id = 0;

  bool isApplication() const { return role == Role::application; }
  bool isWindow() const { return role == Role::window; }
  bool operator==(const AXUIElement&) const = default;
};

/// The result code of an Accessibility call (the platform's values).
enum class AXError : std::int32_t {
  success = 0,
  failure = -25200,
  illegalArgument = -25201,
  invalidUIElement = -25202,
  cannotComplete = -25204,
  attributeUnsupported = -25205,
  notificationUnsupported = -25207,
  apiDisabled = -25211,
  noValue = -25212,
};

/// A value of another kind than the program reads (a number, a point, ...).
struct AXOtherValue {
  bool operator==(const AXOtherValue&) const = default;
};

/// What an attribute read yields: nothing, a list of elements, a text, a truth value, or something else.
using AXValue = std::variant<std::monostate, std::vector<AXUIElement>, std::string, bool, AXOtherValue>;

// Attribute and notification names.
inline constexpr std::string_view kAXWindowsAttribute = "AXWindows";
inline constexpr std::string_view kAXTitleAttribute = "AXTitle";
inline constexpr std::string_view kAXSubroleAttribute = "AXSubrole";
inline constexpr std::string_view kAXMinimizedAttribute = "AXMinimized";
inline constexpr std::string_view kAXStandardWindowSubrole = "AXStandardWindow";
inline constexpr std::string_view kAXDialogSubrole = "AXDialog";
inline constexpr std::string_view kAXFloatingWindowSubrole = "AXFloatingWindow";

inline constexpr std::string_view kAXWindowCreatedNotification = "AXWindowCreated";
inline constexpr std::string_view kAXWindowDeminiaturizedNotification = "AXWindowDeminiaturized";
inline constexpr std::string_view kAXWindowResizedNotification = "AXWindowResized";
inline constexpr std::string_view kAXWindowMovedNotification = "AXWindowMoved";
inline constexpr std::string_view kAXUIElementDestroyedNotification = "AXUIElementDestroyed";
/// Raised for a window put on another desktop, by anyone (X11 windows carry their desktop as their own property).
inline constexpr std::string_view kAXWindowDesktopChangedNotification = "AXWindowDesktopChanged";

/// The element of the application with process `pid` (made without asking anyone; it may name no process).
AXUIElement AXUIElementCreateApplication(pid_t pid);

/// Reads `attribute` of `element` into `value`. success: `value` holds what the element answered (which may be
/// nothing, or of an unexpected kind). Any other code: the read failed and `value` is left empty. Without an
/// installed desktop every read fails with apiDisabled.
AXError AXUIElementCopyAttributeValue(const AXUIElement& element, std::string_view attribute, AXValue& value);

/// "<AXUIElement window 0x1c00003 pid 42>"-style text, for logs.
std::string describe(const AXUIElement& element);

}  // namespace tilvane

/// Elements as keys of hashed containers.
template <>
struct std::hash<tilvane::AXUIElement> {
  std::size_t operator()(const tilvane::AXUIElement& e) const noexcept {
    return std::hash<std::uint64_t>{}(e.id * 0x9E3779B97F4A7C15ULL ^ static_cast<std::uint64_t>(e.pid) << 8 ^
                                      static_cast<std::uint64_t>(e.role));
  }
};
