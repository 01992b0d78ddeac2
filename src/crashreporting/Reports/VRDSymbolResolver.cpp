#include "crashreporting/Reports/VRDSymbolResolver.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

std::optional<std::uint64_t> number(const Dictionary& image, std::string_view key) {
  const auto it = image.find(key);
  if (it == image.end()) return std::nullopt;
  const auto* value = it->second.get<std::int64_t>();
  return value != nullptr ? std::optional(static_cast<std::uint64_t>(*value)) : std::nullopt;
}

std::optional<std::string> text(const Dictionary& image, std::string_view key) {
  const auto it = image.find(key);
  if (it == image.end() || it->second.get<std::string>() == nullptr) return std::nullopt;
  return *it->second.get<std::string>();
}

}  // namespace

bool VRDSymbolResolver::loadBinaryImagesFromFile(const std::string& path) {
  if (path.empty()) return false;
  const auto sections = VRDFileReadSections(path.c_str(), false);
  if (!sections || sections->empty()) {
    SystemLog::write("[Vuveradarad:Crash:SymbolResolver] failed to read binary image file " + path);
    return false;
  }
  for (const Value& section : *sections) {
    const Value* load = section.member("load");
    if (load == nullptr || load->get<Dictionary>() == nullptr) continue;
    const Dictionary& image = *load->get<Dictionary>();
    if (!number(image, "base") || !number(image, "size")) continue;
    binaryImages_.push_back(*load);
  }
  std::stable_sort(binaryImages_.begin(), binaryImages_.end(), [](const Value& a, const Value& b) {
    return *number(*a.get<Dictionary>(), "base") < *number(*b.get<Dictionary>(), "base");
  });
  return true;
}

const Dictionary* VRDSymbolResolver::loadedBinaryImageForPC(std::uint64_t address) const {
  for (const Value& value : binaryImages_) {
    const Dictionary& image = *value.get<Dictionary>();
    const std::uint64_t base = *number(image, "base");
    if (base <= address && address - base < *number(image, "size")) return &image;
  }
  return nullptr;
}

bool VRDSymbolResolver::fillInImageDetails(VRDBinaryImageDetails* details,
                                           const std::optional<std::string>& uuid) const {
  if (details == nullptr || !uuid) return false;
  return VRDBinaryImageFindImageForUUID(uuid->c_str(), details);
}

const VRDElfSymbolTable* VRDSymbolResolver::fileSymbols(const std::string& path) {
  auto it = symbolTables_.find(path);
  if (it == symbolTables_.end()) it = symbolTables_.emplace(path, VRDElfSymbolTable::fromFile(path)).first;
  return it->second ? &*it->second : nullptr;
}

const VRDElfSymbolTable* VRDSymbolResolver::symbolTable(const VRDBinaryImageDetails& image) {
  const VRDElfSymbolTable* table = fileSymbols(image.path);
  // A file replaced on disk since it was loaded would give names of another build.
  if (table != nullptr && !table->buildID().empty() && table->buildID() != image.uuid) return nullptr;
  return table;
}

std::optional<VRDSymbolResolver::Symbol> VRDSymbolResolver::lookUp(std::uint64_t address,
                                                                    const VRDBinaryImageDetails& image) {
  Dl_info info{};
  const bool found = dladdr(reinterpret_cast<void*>(address), &info) != 0;
  if (found && info.dli_sname != nullptr && info.dli_saddr != nullptr) {
    return Symbol{std::string(info.dli_sname), reinterpret_cast<std::uint64_t>(info.dli_saddr)};
  }
  if (const VRDElfSymbolTable* table = symbolTable(image)) {
    if (const VRDElfSymbol* symbol = table->symbolForAddress(address - image.slide)) {
      return Symbol{symbol->name, symbol->address + image.slide};
    }
  }
  if (found) return Symbol{};
  return std::nullopt;
}

bool VRDSymbolResolver::updateStackFrame(VRDStackFrame& frame, bool returnAddress) {
  if (frame.address == 0) return false;
  const std::uint64_t lookup = returnAddress ? frame.address - 1 : frame.address;
  const Dictionary* image = loadedBinaryImageForPC(lookup);
  if (image == nullptr) return false;
  const std::uint64_t recordedBase = *number(*image, "base");
  const auto uuid = text(*image, "uuid");
  const auto path = text(*image, "path");
  std::optional<Symbol> symbol;
  std::uint64_t shift = 0;  // from the crashed run's addresses to where the names are looked up
  VRDBinaryImageDetails details;
  if (fillInImageDetails(&details, uuid)) {
    shift = details.node.base - recordedBase;
    symbol = lookUp(lookup + shift, details);
  } else if (const VRDElfSymbolTable* table = path && uuid ? fileSymbols(*path) : nullptr;
             table != nullptr && !table->buildID().empty() && VRDImageUUIDMatches(*uuid, table->buildID())) {
    // Not loaded here: the file's own addresses, the file being the very build that ran.
    shift = table->imageAddress() - recordedBase;
    const VRDElfSymbol* found = table->symbolForAddress(lookup + shift);
    symbol = found != nullptr ? Symbol{found->name, found->address} : Symbol{};
  }
  if (!symbol) return false;
  const std::uint64_t address = frame.address + shift;
  if (symbol->name) {
    frame.symbol = symbol->name;
    frame.rawSymbol = symbol->name;
    if (symbol->address < address) frame.offset = address - symbol->address;
  }
  if (path) frame.library = std::filesystem::path(*path).filename().string();
  return true;
}

std::optional<VRDStackFrame> VRDSymbolResolver::frameForAddress(std::uint64_t address, bool returnAddress) {
  VRDStackFrame frame = VRDStackFrame::stackFrameWithAddress(address);
  if (!updateStackFrame(frame, returnAddress)) return std::nullopt;
  return frame;
}

}  // namespace crashreporting
