#include "crashreporting/Reports/VRDElfFile.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "crashreporting/Kit/VRDImageUUID.h"

namespace crashreporting {
namespace {

// Whether [offset, offset + length) lies within `size` bytes, without overflowing.
bool inRange(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
  return offset <= size && length <= size - offset;
}

template <class T>
bool readAt(const std::uint8_t* bytes, std::size_t size, std::uint64_t offset, T* out) {
  if (!inRange(offset, sizeof(T), size)) return false;
  std::memcpy(out, bytes + offset, sizeof(T));
  return true;
}

struct Image {
  const std::uint8_t* bytes;
  std::size_t size;
  std::vector<Elf64_Shdr> sections;
};

bool readSections(Image& image) {
  Elf64_Ehdr header;
  if (!readAt(image.bytes, image.size, 0, &header)) return false;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_ident[EI_DATA] != ELFDATA2LSB) {
    return false;
  }
  if (header.e_shoff == 0) return true;  // no section table: nothing to read, but an ELF file all the same
  if (header.e_shentsize < sizeof(Elf64_Shdr)) return false;
  std::uint64_t count = header.e_shnum;
  if (count == 0) {
    // Extended numbering: the real count is section 0's size.
    Elf64_Shdr first;
    if (!readAt(image.bytes, image.size, header.e_shoff, &first)) return false;
    count = first.sh_size;
  }
  if (count > (image.size - std::min<std::uint64_t>(image.size, header.e_shoff)) / header.e_shentsize) return false;
  image.sections.resize(count);
  for (std::uint64_t i = 0; i < count; ++i) {
    if (!readAt(image.bytes, image.size, header.e_shoff + i * header.e_shentsize, &image.sections[i])) return false;
  }
  return true;
}

// The bytes of a section that has them in the file; null when it has none or they run past the end.
const std::uint8_t* sectionBytes(const Image& image, const Elf64_Shdr& section) {
  if (section.sh_type == SHT_NOBITS || !inRange(section.sh_offset, section.sh_size, image.size)) return nullptr;
  return image.bytes + section.sh_offset;
}

// In the form of the image's UUID, so the two compare as they are.
std::string buildIDFromNotes(const std::uint8_t* notes, std::uint64_t size) {
  char uuid[VRDImageUUIDCapacity] = {};
  return VRDImageUUIDFromNotes(notes, size, uuid) ? uuid : std::string();
}

// The virtual address of the loadable segment at file offset 0; 0 when the program headers name none.
std::uint64_t imageAddressOf(const std::uint8_t* bytes, std::size_t size) {
  Elf64_Ehdr header;
  if (!readAt(bytes, size, 0, &header) || header.e_phentsize < sizeof(Elf64_Phdr)) return 0;
  for (std::uint64_t i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment;
    if (!readAt(bytes, size, header.e_phoff + i * header.e_phentsize, &segment)) return 0;
    if (segment.p_type == PT_LOAD && segment.p_offset == 0) return segment.p_vaddr;
  }
  return 0;
}

void readSymbols(const Image& image, const Elf64_Shdr& table, std::vector<VRDElfSymbol>& out) {
  if (table.sh_link >= image.sections.size() || table.sh_entsize < sizeof(Elf64_Sym)) return;
  const Elf64_Shdr& strings = image.sections[table.sh_link];
  const std::uint8_t* symbols = sectionBytes(image, table);
  const std::uint8_t* names = sectionBytes(image, strings);
  if (symbols == nullptr || names == nullptr || strings.sh_type != SHT_STRTAB) return;
  const std::uint64_t count = table.sh_size / table.sh_entsize;
  for (std::uint64_t i = 1; i < count; ++i) {
    Elf64_Sym symbol;
    std::memcpy(&symbol, symbols + i * table.sh_entsize, sizeof symbol);
    const unsigned type = ELF64_ST_TYPE(symbol.st_info);
    if ((type != STT_FUNC && type != STT_GNU_IFUNC) || symbol.st_shndx == SHN_UNDEF || symbol.st_value == 0) continue;
    if (symbol.st_name >= strings.sh_size) continue;
    const auto* name = reinterpret_cast<const char*>(names + symbol.st_name);
    const void* end = std::memchr(name, '\0', strings.sh_size - symbol.st_name);
    if (end == nullptr || end == name) continue;
    out.push_back({symbol.st_value, symbol.st_size, std::string(name, static_cast<const char*>(end)),
                   ELF64_ST_BIND(symbol.st_info) != STB_LOCAL});
  }
}

}  // namespace

std::optional<VRDElfSymbolTable> VRDElfSymbolTable::fromBytes(const std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr) return std::nullopt;
  Image image{bytes, size, {}};
  if (!readSections(image)) return std::nullopt;
  VRDElfSymbolTable table;
  table.imageAddress_ = imageAddressOf(bytes, size);
  for (const Elf64_Shdr& section : image.sections) {
    if (section.sh_type == SHT_NOTE && table.buildID_.empty()) {
      if (const std::uint8_t* notes = sectionBytes(image, section)) table.buildID_ = buildIDFromNotes(notes, section.sh_size);
    } else if (section.sh_type == SHT_SYMTAB || section.sh_type == SHT_DYNSYM) {
      readSymbols(image, section, table.symbols_);
    }
  }
  // Sorted by address, sized ones first, then global ones (a self-recursive function's local alias,
  // "<name>.localalias", shares its address and size), then among aliases the greatest name, as gdb names them
  // ("__libc_start_main_impl", "pthread_cond_wait"): without it the choice followed the table's order, which
  // any change to the program's link could turn. A function listed by both tables is kept once.
  std::sort(table.symbols_.begin(), table.symbols_.end(), [](const VRDElfSymbol& a, const VRDElfSymbol& b) {
    if (a.address != b.address) return a.address < b.address;
    if (a.size != b.size) return a.size > b.size;
    if (a.global != b.global) return a.global;
    return a.name > b.name;
  });
  table.symbols_.erase(std::unique(table.symbols_.begin(), table.symbols_.end(),
                                   [](const VRDElfSymbol& a, const VRDElfSymbol& b) {
                                     return a.address == b.address && a.size == b.size && a.name == b.name;
                                   }),
                       table.symbols_.end());
  return table;
}

std::optional<VRDElfSymbolTable> VRDElfSymbolTable::fromFile(const std::filesystem::path& path) {
  // Without blocking: a recorded path may now lead to a FIFO.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<VRDElfSymbolTable> table;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    const auto size = static_cast<std::size_t>(info.st_size);
    void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapping != MAP_FAILED) {
      table = fromBytes(static_cast<const std::uint8_t*>(mapping), size);
      munmap(mapping, size);
    }
  }
  close(fd);
  return table;
}

const VRDElfSymbol* VRDElfSymbolTable::symbolForAddress(std::uint64_t address) const {
  auto it = std::upper_bound(symbols_.begin(), symbols_.end(), address,
                             [](std::uint64_t a, const VRDElfSymbol& s) { return a < s.address; });
  // Among the symbols that start at the greatest address not above `address`, the first whose range holds it.
  if (it == symbols_.begin()) return nullptr;
  const std::uint64_t start = std::prev(it)->address;
  for (auto candidate = std::lower_bound(symbols_.begin(), it, start,
                                         [](const VRDElfSymbol& s, std::uint64_t a) { return s.address < a; });
       candidate != it; ++candidate) {
    if (address == candidate->address || address - candidate->address < candidate->size) return &*candidate;
  }
  return nullptr;
}

}  // namespace crashreporting
