#include "crashreporting/Reports/VRDThreadArrayOperation.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "crashreporting/Capture/VRDDemangle.h"
#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

bool syncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

}  // namespace

void VRDThreadArrayOperation::enumerateFramesWithBlock(
    const std::function<void(VRDStackFrame& frame, std::size_t index)>& block) {
  if (!threadArray_) return;
  for (auto& thread : *threadArray_) {
    for (std::size_t i = 0; i < thread.size(); ++i) {
      block(thread[i], i);
      if (isCancelled()) break;
    }
  }
}

void VRDSymbolicationOperation::main() {
  enumerateFramesWithBlock([&](VRDStackFrame& frame, std::size_t index) {
    symbolResolver_.updateStackFrame(frame, frame.returnAddress.value_or(index != 0));
  });
}

void VRDDemangleOperation::main() {
  enumerateFramesWithBlock([](VRDStackFrame& frame, std::size_t) {
    if (!frame.rawSymbol) return;
    if (auto demangled = demangleSymbol(frame.rawSymbol->c_str())) frame.symbol = std::move(demangled);
  });
}

std::optional<std::string> VRDDemangleOperation::demangleSymbol(const char* symbol) {
  if (symbol == nullptr) return std::nullopt;
  if (std::strncmp(symbol, "_Z", 2) == 0) return demangleCppSymbol(symbol);
  if (std::strncmp(symbol, "__Z", 3) == 0) return demangleBlockInvokeCppSymbol(symbol);
  return std::nullopt;
}

std::optional<std::string> VRDDemangleOperation::demangleCppSymbol(const char* symbol) {
  return VRDDemangleCppName(symbol);
}

std::optional<std::string> VRDDemangleOperation::demangleBlockInvokeCppSymbol(const char* symbol) {
  const std::string text(symbol);
  const std::size_t block = text.rfind("_block_invoke");
  if (block == std::string::npos || block < 5) return std::nullopt;
  const std::string inner = text.substr(1, block - 1);
  const auto demangled = demangleSymbol(inner.c_str());
  if (!demangled) return std::nullopt;
  return *demangled + text.substr(block);
}

void VRDSerializeSymbolicatedFramesOperation::main() {
  const std::filesystem::path output(outputPath_);
  std::string name(".");
  name.append(output.filename().string()).append(".partial");
  const std::string partial = (output.parent_path() / name).string();
  written_ = false;
  VRDFile file;
  if (!VRDFileInitWithPathMode(&file, partial.c_str(), false, true)) {
    SystemLog::write("[Vuveradarad:Crash:Symbolication] Failed to create output file");
    return;
  }
  const auto sections = sectionsToWrite();
  const VRDThreadArray empty;
  for (const auto& section : sections) {
    VRDFileWriteSectionStart(&file, "threads");
    VRDFileWriteArrayStart(&file);
    for (const auto& thread : section ? *section : empty) {
      VRDFileWriteArrayStart(&file);
      for (const VRDStackFrame& frame : thread) {
        VRDFileWriteHashStart(&file);
        VRDFileWriteHashEntryNSString(&file, "symbol", frame.symbol);
        // An absent raw symbol never equals the symbol.
        if (!frame.rawSymbol || !frame.symbol || *frame.rawSymbol != *frame.symbol) {
          VRDFileWriteHashEntryNSString(&file, "raw_symbol", frame.rawSymbol);
        }
        VRDFileWriteHashEntryUint64(&file, "offset", frame.offset);
        VRDFileWriteHashEntryNSString(&file, "library", frame.library);
        VRDFileWriteHashEnd(&file);
      }
      VRDFileWriteArrayEnd(&file);
    }
    VRDFileWriteArrayEnd(&file);
    VRDFileWriteSectionEnd(&file);
  }
  const bool closed = VRDFileClose(&file);  // flushes the buffer first
  if (!closed || !syncFile(partial) || !readsBackWhole(partial) ||
      std::rename(partial.c_str(), outputPath_.c_str()) != 0) {
    SystemLog::write("[Vuveradarad:Crash:Symbolication] Failed to create output file");
    std::remove(partial.c_str());
    return;
  }
  written_ = true;
}

std::vector<std::shared_ptr<VRDThreadArray>> VRDSerializeSymbolicatedFramesOperation::sectionsToWrite() const {
  if (!sections_.empty()) return sections_;
  return {threadArray()};
}

bool VRDSerializeSymbolicatedFramesOperation::readsBackWhole(const std::string& path) const {
  const auto lines = VRDFileReadSections(path.c_str(), false);
  const auto sections = sectionsToWrite();
  if (!lines || lines->size() != sections.size()) return false;
  const VRDThreadArray empty;
  for (std::size_t s = 0; s < sections.size(); ++s) {
    const Value* threads = (*lines)[s].member("threads");
    const Array* read = threads ? threads->get<Array>() : nullptr;
    const VRDThreadArray& wrote = sections[s] ? *sections[s] : empty;
    if (read == nullptr || read->size() != wrote.size()) return false;
    for (std::size_t i = 0; i < wrote.size(); ++i) {
      const Array* frames = (*read)[i].get<Array>();
      if (frames == nullptr || frames->size() != wrote[i].size()) return false;
    }
  }
  return true;
}

}  // namespace crashreporting
