#include "crashreporting/Reports/VRDProcessReportOperation.h"

#include <cstring>
#include <filesystem>
#include <string_view>

#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Reports/VRDDamage.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/Json.h"

namespace crashreporting {

void VRDProcessReportOperation::main() {
  // A shortage of descriptors or memory would drop the symbols for good: the report waits for a later attempt.
  const auto check = [&](const std::string& path) {
    if (const int error = unreadableNow_ ? 0 : openFailsForNow(path))
      unreadableNow_ = std::filesystem::path(path).filename().string() + " (" + std::strerror(error) + ")";
  };
  check(binaryImagePath());
  report_.enumerateSymbolicatableFilesInContent(check);
  if (unreadableNow_) return;
  if (!symbolResolver_.loadBinaryImagesFromFile(binaryImagePath())) return;
  report_.enumerateSymbolicatableFilesInContent([&](const std::string& path) {
    // Absent records are not asked for, so the reader logs only what it really failed to read.
    bool notWritten = false;
    std::error_code error;
    if (std::filesystem::exists(path, error) && !symbolicateFile(path, symbolResolver_, &notWritten) && notWritten)
      unwritten_.push_back(path);
  });
}

namespace {

std::shared_ptr<VRDThreadArray> threadArrayFromThreads(const Value& section) {
  auto result = std::make_shared<VRDThreadArray>();
  if (const Array* threads = section.get<Array>()) {
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

}  // namespace

std::shared_ptr<VRDThreadArray> VRDProcessReportOperation::threadArrayFromFile(const std::string& path) {
  auto sections = threadArraysFromFile(path);
  if (sections.empty()) return nullptr;
  return sections.front();
}

std::vector<std::shared_ptr<VRDThreadArray>> VRDProcessReportOperation::threadArraysFromFile(const std::string& path) {
  std::vector<std::shared_ptr<VRDThreadArray>> result;
  const FileContents contents = VRDFileReadWhole(path);
  if (!contents.ok()) return result;
  const std::string& all = contents.bytes;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    const std::string_view text = std::string_view(all).substr(start, end - start);
    std::string error;
    if (const auto line = json::decode(text, error)) {
      if (const Value* threads = line->member("threads")) result.push_back(threadArrayFromThreads(*threads));
    } else if (const auto salvaged = VRDRecordSalvageThreads(text)) {
      // A line the crash or a full disk cut short: the threads written whole are still named.
      result.push_back(threadArrayFromThreads(*salvaged));
    }
    start = end + 1;
  }
  return result;
}

bool VRDProcessReportOperation::symbolicateFile(const std::string& path, VRDSymbolResolver& resolver,
                                                bool* notWritten) {
  // Each crash section of the file (a process records one per file; more come from older damage) is named.
  auto sections = threadArraysFromFile(path);
  if (sections.empty()) return false;
  for (const auto& threads : sections) {
    auto symbolicate = std::make_shared<VRDSymbolicationOperation>(resolver);
    auto demangle = std::make_shared<VRDDemangleOperation>();
    for (VRDThreadArrayOperation* step : {static_cast<VRDThreadArrayOperation*>(symbolicate.get()),
                                          static_cast<VRDThreadArrayOperation*>(demangle.get())}) {
      step->setThreadArray(threads);
      step->start();
    }
  }
  auto serialize = std::make_shared<VRDSerializeSymbolicatedFramesOperation>(path + ".symbolicated");
  serialize->setThreadArray(sections.front());
  serialize->setSections(std::move(sections));
  serialize->start();
  if (!serialize->written()) {
    if (notWritten) *notWritten = true;
    return false;
  }
  return true;
}

}  // namespace crashreporting
