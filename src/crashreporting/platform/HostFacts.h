#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace crashreporting {

struct OSVersion {
  std::int64_t major = 0;
  std::int64_t minor = 0;
  std::int64_t patch = 0;
};

/// What the library reads of the machine: the OS version and named system values. The platform's answers by
/// default; a test puts its own in place with Scoped.
class HostFacts {
 public:
  virtual ~HostFacts() = default;
  /// The running kernel's release, as three numbers (Linux has no other single OS version).
  virtual OSVersion osVersion() const = 0;
  /// The value of a system setting by its sysctl name, at most 127 bytes; none when there is no such value.
  /// "kern.osversion" is the kernel's build text, "hw.model" the machine's product name, "hw.machine" the
  /// architecture (uname) and "machdep.cpu.brand_string" the processor's model name; other names are read
  /// from /proc/sys (dots as folder steps).
  virtual std::optional<std::string> sysctlString(std::string_view name) const = 0;

  static const HostFacts& current();

  /// Puts `facts` in place for its lifetime.
  class Scoped {
   public:
    explicit Scoped(std::unique_ptr<HostFacts> facts);
    ~Scoped();
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

   private:
    std::unique_ptr<HostFacts> facts_;
    const HostFacts* previous_;
  };
};

}  // namespace crashreporting
