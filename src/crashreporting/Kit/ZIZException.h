#pragma once

#include <stdexcept>
#include <string>

namespace crashreporting {

/// A configuration fault in the host's information dictionary, raised by the kit framework (named
/// "ZIZException"). It is raised on the thread that starts the library and never crosses threads.
class ZIZException : public std::runtime_error {
 public:
  explicit ZIZException(const std::string& reason) : std::runtime_error(reason) {}
  static const char* name() { return "ZIZException"; }
  std::string reason() const { return what(); }
};

}  // namespace crashreporting
