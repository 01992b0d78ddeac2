#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Reading ELF64 files on disk for the next launch's symbolication: the GNU build-id and the function symbols
// of .symtab and .dynsym (so static functions get names too, which the dynamic linker cannot give). Never used
// at crash time: it allocates. The bytes are untrusted (a file may be truncated, damaged or hostile): every
// offset, size and string is checked against the bytes given, and what fails a check is skipped.

namespace crashreporting {

struct VRDElfSymbol {
  std::uint64_t address = 0;  // the symbol's virtual address as the file gives it
  std::uint64_t size = 0;
  std::string name;
  /// Bound globally (or weakly): at one address and size it names the function before a local alias does.
  bool global = false;
};

class VRDElfSymbolTable {
 public:
  /// Parses `size` bytes; none unless they start with a little-endian ELF64 header whose section table lies
  /// within them.
  static std::optional<VRDElfSymbolTable> fromBytes(const std::uint8_t* bytes, std::size_t size);
  /// Maps the regular file at `path` read-only and parses it.
  static std::optional<VRDElfSymbolTable> fromFile(const std::filesystem::path& path);

  /// The file address of the ELF header as loaded: that of the loadable segment that starts the file (0 for a
  /// shared library, where a position-dependent program has its link address); 0 when none does.
  std::uint64_t imageAddress() const { return imageAddress_; }
  /// The GNU build-id as an image UUID (32 digits, VRDImageUUID.h); empty when the file has none.
  const std::string& buildID() const { return buildID_; }
  /// The functions by address.
  const std::vector<VRDElfSymbol>& symbols() const { return symbols_; }
  /// The function whose range holds the file address `address` (a symbol of size 0 only at its own address);
  /// null when none does.
  const VRDElfSymbol* symbolForAddress(std::uint64_t address) const;

 private:
  std::string buildID_;
  std::uint64_t imageAddress_ = 0;
  std::vector<VRDElfSymbol> symbols_;
};

}  // namespace crashreporting
