#pragma once

#include <string_view>

namespace tilvane {

/// The trap of a way of making an object that its class does not offer: writes "<class>: <initializer> has not
/// been implemented" (e.g. "Tilvane.LayoutItem: init() has not been implemented") to standard error and aborts.
[[noreturn]] void reportUnimplementedInitializer(std::string_view initializer, std::string_view className);

}  // namespace tilvane
