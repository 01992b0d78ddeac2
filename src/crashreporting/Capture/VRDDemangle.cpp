#include "crashreporting/Capture/VRDDemangle.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace crashreporting {

std::optional<std::string> VRDDemangleCppName(const char* name) {
  if (name == nullptr) return std::nullopt;
  int status = 0;
  const std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                              &std::free);
  if (demangled == nullptr) return std::nullopt;
  return std::string(demangled.get());
}

}  // namespace crashreporting
