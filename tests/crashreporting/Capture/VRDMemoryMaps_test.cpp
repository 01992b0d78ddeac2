#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>

#include "crashreporting/Capture/VRDMemoryMaps.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

// A file's mapping comes with its device, inode and path; anonymous memory with neither; an unmapped page with
// nothing at all.
TEST(MemoryMaps, TheMappingAtAnAddressIsReadFromTheProcesssMaps) {
  const long page = sysconf(_SC_PAGESIZE);
  auto* anonymous = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(anonymous, MAP_FAILED);
  ASSERT_EQ(munmap(anonymous + page, page), 0);
  const std::string program = std::filesystem::read_symlink("/proc/self/exe");
  struct stat file {};
  ASSERT_EQ(stat(program.c_str(), &file), 0);
  const struct {
    const void* address;
    bool found;
    std::string path;
    std::uint64_t inode;
  } cases[] = {
      {reinterpret_cast<const void*>(&VRDMemoryMapAt), true, program, file.st_ino},
      {anonymous, true, "", 0},
      {anonymous + page, false, "", 0},
  };
  for (const auto& c : cases) {
    VRDMemoryMap map;
    const auto address = reinterpret_cast<std::uint64_t>(c.address);
    ASSERT_EQ(VRDMemoryMapAt(address, &map), c.found) << c.path;
    if (!c.found) continue;
    EXPECT_LE(map.start, address);
    EXPECT_GT(map.end, address);
    EXPECT_EQ(map.path, c.path);
    EXPECT_EQ(map.inode, c.inode);
    if (c.inode != 0) {
      EXPECT_EQ(map.device, file.st_dev);
    }
  }
  munmap(anonymous, page);
}

}  // namespace
}  // namespace crashreporting::test
