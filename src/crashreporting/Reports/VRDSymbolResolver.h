#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Reports/VRDElfFile.h"
#include "crashreporting/Capture/VRDStackFrame.h"
#include "crashreporting/platform/Value.h"

// Names the frames of a crashed run at the next launch: an address of that run is placed in the image that
// held it (from the run's `binary_images.vrdrecord`), that image is found among the images loaded now by its
// UUID (build-id), the address is moved to where the image lies now, and dladdr names it; where dladdr knows no
// name (a static function is in no dynamic symbol table), the image file's own symbol tables do. An image not
// loaded now (a plugin the crashed run loaded) is named from the file at its recorded path, provided the file's
// build-id is the recorded one. Images of another build leave the frame unnamed.

namespace crashreporting {

class VRDSymbolResolver {
 public:
  /// Reads the `load` lines of a binary-image record, sorted by base (unload lines are ignored: every image the
  /// run ever loaded stays a candidate). False for an empty path or a file with no readable line.
  bool loadBinaryImagesFromFile(const std::string& path);
  /// The first image, by base, with base ≤ address < base + size; null when none.
  const Dictionary* loadedBinaryImageForPC(std::uint64_t address) const;
  /// The image loaded now with that UUID; false for a missing details record or UUID, or no such image.
  bool fillInImageDetails(VRDBinaryImageDetails* details, const std::optional<std::string>& uuid) const;
  /// Sets symbol, raw symbol, offset and library of `frame`; false when the address is 0 or cannot be placed.
  /// A return address (every frame but the first of a thread, and those the record marks as exact) points
  /// after its call, which may be the last instruction of its function: it is placed and looked up one byte
  /// earlier. The first frame's address is the faulting instruction itself and is looked up as it is. The
  /// offset is the frame's own address from the symbol's start.
  bool updateStackFrame(VRDStackFrame& frame, bool returnAddress = true);
  /// A new frame for `address`, updated; none when the update fails.
  std::optional<VRDStackFrame> frameForAddress(std::uint64_t address, bool returnAddress = true);

  const Array& binaryImages() const { return binaryImages_; }

 private:
  struct Symbol {
    std::optional<std::string> name;
    std::uint64_t address = 0;
  };
  std::optional<Symbol> lookUp(std::uint64_t address, const VRDBinaryImageDetails& image);
  const VRDElfSymbolTable* symbolTable(const VRDBinaryImageDetails& image);
  /// The symbols of the file at `path`, read once; null when it cannot be read.
  const VRDElfSymbolTable* fileSymbols(const std::string& path);

  Array binaryImages_;
  std::map<std::string, std::optional<VRDElfSymbolTable>> symbolTables_;
};

}  // namespace crashreporting
