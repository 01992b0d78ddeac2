#include "crashreporting/Reports/VRDProcessReportOperation.h"

#include <filesystem>

#include "crashreporting/Capture/VRDFileReader.h"

namespace crashreporting {

void VRDProcessReportOperation::main() {
  if (!symbolResolver_.loadBinaryImagesFromFile(binaryImagePath())) return;
  report_.enumerateSymbolicatableFilesInContent([&](const std::string& path) {
    // Absent records are not asked for, so the reader logs only what it really failed to read.
    bool notWritten = false;
    if (std::filesystem::exists(path) && !symbolicateFile(path, symbolResolver_, &notWritten) && notWritten)
      unwritten_.push_back(path);
  });
}

std::shared_ptr<VRDThreadArray> VRDProcessReportOperation::threadArrayFromFile(const std::string& path) {
  const auto sections = VRDFileReadSections(path.c_str(), false, [](Value line) -> std::optional<Value> {
    const Value* threads = line.member("threads");
    if (threads == nullptr) return std::nullopt;
    return *threads;
  });
  if (!sections || sections->empty()) return nullptr;
  auto result = std::make_shared<VRDThreadArray>();
  if (const Array* threads = sections->front().get<Array>()) {
    for (const Value& thread : *threads) {
      std::vector<VRDStackFrame>& frames = result->emplace_back();
      const Value* stack = thread.member("stacktrace");
      if (stack == nullptr || stack->get<Array>() == nullptr) continue;
      for (const Value& address : *stack->get<Array>()) {
        const auto* number = address.get<std::int64_t>();
        frames.push_back(VRDStackFrame::stackFrameWithAddress(number ? static_cast<std::uint64_t>(*number) : 0));
      }
      // Where the walk knew better than the position: the frames that are instructions, not return addresses.
      const Value* exact = thread.member("exact_frames");
      if (exact == nullptr || exact->get<Array>() == nullptr) continue;
      for (VRDStackFrame& frame : frames) frame.returnAddress = true;
      for (const Value& index : *exact->get<Array>()) {
        const auto* number = index.get<std::int64_t>();
        if (number != nullptr && *number >= 0 && static_cast<std::uint64_t>(*number) < frames.size()) {
          frames[static_cast<std::size_t>(*number)].returnAddress = false;
        }
      }
    }
  }
  return result;
}

bool VRDProcessReportOperation::symbolicateFile(const std::string& path, VRDSymbolResolver& resolver,
                                                bool* notWritten) {
  auto threads = threadArrayFromFile(path);
  if (!threads) return false;
  auto symbolicate = std::make_shared<VRDSymbolicationOperation>(resolver);
  auto demangle = std::make_shared<VRDDemangleOperation>();
  auto serialize = std::make_shared<VRDSerializeSymbolicatedFramesOperation>(path + ".symbolicated");
  for (VRDThreadArrayOperation* step : {static_cast<VRDThreadArrayOperation*>(symbolicate.get()),
                                        static_cast<VRDThreadArrayOperation*>(demangle.get()),
                                        static_cast<VRDThreadArrayOperation*>(serialize.get())}) {
    step->setThreadArray(threads);
    step->start();
  }
  if (!serialize->written()) {
    if (notWritten) *notWritten = true;
    return false;
  }
  return true;
}

}  // namespace crashreporting
