#pragma once

#include <stdexcept>

// The exception the crash kit's throwException lets escape. It stands at the global scope so that the record
// of it names it plainly: uncaught exceptions are recorded under their demangled type name.

class VuveradaradTestException : public std::runtime_error {
 public:
  static constexpr const char* kName = "VuveradaradTestException";
  static constexpr const char* kReason = "This is an Objective-C exception using for testing.";

  VuveradaradTestException() : std::runtime_error(kReason) {}
};

namespace crashreporting {

/// Throws a VuveradaradTestException.
[[noreturn]] void VRDExceptionRaiseTestException();

}  // namespace crashreporting
