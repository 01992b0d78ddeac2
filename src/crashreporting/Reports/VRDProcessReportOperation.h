#pragma once

#include <memory>
#include <string>

#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/Reports/VRDSymbolResolver.h"
#include "crashreporting/Reports/VRDThreadArrayOperation.h"
#include "crashreporting/platform/Operation.h"

// Symbolication of one report folder: each crash record gets a "<record>.symbolicated" copy of its stacks with
// named, demangled frames, against the images of this process.

namespace crashreporting {

class VRDProcessReportOperation : public Operation {
 public:
  VRDProcessReportOperation(const VRDInternalReport& report, VRDSymbolResolver& resolver)
      : report_(report), symbolResolver_(resolver) {}
  /// Without the run's image record nothing is symbolicated (packaging still goes on).
  void main() override;
  std::string binaryImagePath() const { return report_.binaryImagePath(); }
  /// The first `threads` line's stacks as frames; none when the file has no such line.
  static std::shared_ptr<VRDThreadArray> threadArrayFromFile(const std::string& path);
  static bool symbolicateFile(const std::string& path, VRDSymbolResolver& resolver);

 private:
  const VRDInternalReport& report_;
  VRDSymbolResolver& symbolResolver_;
};

}  // namespace crashreporting
