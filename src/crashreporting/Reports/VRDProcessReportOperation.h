#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/Reports/VRDSymbolResolver.h"
#include "crashreporting/Reports/VRDThreadArrayOperation.h"
#include "crashreporting/platform/Operation.h"

// Symbolication of one report folder: each crash record gets a "<record>.symbolicated" copy of its stacks with
// named, demangled frames, against the images of this process: one `threads` line per crash section of the
// record, in its order.

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
  /// The stacks of every `threads` line, in file order; a line cut short gives the threads written whole.
  static std::vector<std::shared_ptr<VRDThreadArray>> threadArraysFromFile(const std::string& path);
  /// Writes the symbolicated copy of the record at `path`; false when the record has no stacks or the copy
  /// could not be written whole (then `*notWritten` is set, when given).
  static bool symbolicateFile(const std::string& path, VRDSymbolResolver& resolver, bool* notWritten = nullptr);
  /// The records whose copy could not be written (a full disk): the report is not whole without them.
  const std::vector<std::string>& unwritten() const { return unwritten_; }
  /// A file of the report that could not be opened for a passing reason ("<name> (<why>)"): nothing was
  /// symbolicated, and the report is left for a later attempt rather than sent without its symbols.
  const std::optional<std::string>& unreadableNow() const { return unreadableNow_; }

 private:
  const VRDInternalReport& report_;
  VRDSymbolResolver& symbolResolver_;
  std::vector<std::string> unwritten_;
  std::optional<std::string> unreadableNow_;
};

}  // namespace crashreporting
