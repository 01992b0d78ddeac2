#pragma once

#include <optional>
#include <string>

// C++ names as people read them. Used at the next launch on symbols and, when an exception ends the process, on
// the exception's type name; not for signal handlers (it allocates).

namespace crashreporting {

/// The demangled form of a mangled symbol ("_ZN3foo3barEv") or type name ("St13runtime_error"); none when it
/// is not a mangled name.
std::optional<std::string> VRDDemangleCppName(const char* name);

}  // namespace crashreporting
