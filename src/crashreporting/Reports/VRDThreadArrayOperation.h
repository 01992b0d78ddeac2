#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Capture/VRDStackFrame.h"
#include "crashreporting/Reports/VRDSymbolResolver.h"
#include "crashreporting/platform/Operation.h"

// The steps over one crashed run's stacks: name every frame, demangle the names, write them out. The three
// share one thread array (one inner array per thread, innermost frame first) and change its frames in turn.

namespace crashreporting {

using VRDThreadArray = std::vector<std::vector<VRDStackFrame>>;

class VRDThreadArrayOperation : public Operation {
 public:
  const std::shared_ptr<VRDThreadArray>& threadArray() const { return threadArray_; }
  void setThreadArray(std::shared_ptr<VRDThreadArray> threads) { threadArray_ = std::move(threads); }
  /// Every frame of every thread in order, with its index in its thread. A cancel skips the rest of the current
  /// thread; each later thread still has its first frame handled.
  void enumerateFramesWithBlock(const std::function<void(VRDStackFrame& frame, std::size_t index)>& block);

 private:
  std::shared_ptr<VRDThreadArray> threadArray_;
};

class VRDSymbolicationOperation : public VRDThreadArrayOperation {
 public:
  explicit VRDSymbolicationOperation(VRDSymbolResolver& resolver) : symbolResolver_(resolver) {}
  /// A thread's first frame is the faulting instruction itself; the others are return addresses, unless the
  /// frame says otherwise (the record's `exact_frames`).
  void main() override;

 private:
  VRDSymbolResolver& symbolResolver_;
};

class VRDDemangleOperation : public VRDThreadArrayOperation {
 public:
  /// A demangled raw symbol replaces the frame's symbol; otherwise the symbol stays.
  void main() override;
  /// C++ names ("_Z…") and C++ block names ("__Z…_block_invoke…"); none for anything else.
  static std::optional<std::string> demangleSymbol(const char* symbol);
  static std::optional<std::string> demangleCppSymbol(const char* symbol);
  static std::optional<std::string> demangleBlockInvokeCppSymbol(const char* symbol);
};

class VRDSerializeSymbolicatedFramesOperation : public VRDThreadArrayOperation {
 public:
  explicit VRDSerializeSymbolicatedFramesOperation(std::string outputPath) : outputPath_(std::move(outputPath)) {}
  const std::string& outputPath() const { return outputPath_; }
  /// Writes the `threads` record beside the output path and renames it into place only once it reads back whole
  /// (a full disk refuses writes without a word to the writer), so no torn file ever stands under the final name.
  void main() override;
  /// Whether the copy is in place, whole.
  bool written() const { return written_; }
  /// One `threads` line each, in order, in place of the thread array alone (a record of several crash sections).
  void setSections(std::vector<std::shared_ptr<VRDThreadArray>> sections) { sections_ = std::move(sections); }

 private:
  /// What is written: the sections, or the thread array as the one section.
  std::vector<std::shared_ptr<VRDThreadArray>> sectionsToWrite() const;
  /// Whether the file at `path` holds exactly the `threads` lines of this operation's frames.
  bool readsBackWhole(const std::string& path) const;

  std::string outputPath_;
  std::vector<std::shared_ptr<VRDThreadArray>> sections_;
  bool written_ = false;
};

}  // namespace crashreporting
