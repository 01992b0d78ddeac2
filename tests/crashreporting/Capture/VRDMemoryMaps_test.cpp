#include <sys/mman.h>
#include <sys/stat.h>

#include "crashreporting/Capture/VRDMemoryMaps.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

// A file's mapping comes with its device, inode and path; anonymous memory with neither; an unmapped page with
// nothing at all.
TEST(MemoryMaps, TheMappingAtAnAddressIsReadFromTheProcesssMaps) {
  auto* pages = static_cast<char*>(mmap(nullptr, 8192, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_EQ(munmap(pages + 4096, 4096), 0);
  struct stat program {};
  ASSERT_EQ(stat("/proc/self/exe", &program), 0);
  VRDMemoryMap map;
  ASSERT_TRUE(VRDMemoryMapAt(reinterpret_cast<std::uint64_t>(&VRDMemoryMapAt), &map));
  EXPECT_EQ(map.path, std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(map.inode, program.st_ino);
  EXPECT_EQ(map.device, program.st_dev);
  ASSERT_TRUE(VRDMemoryMapAt(reinterpret_cast<std::uint64_t>(pages), &map));
  EXPECT_LE(map.start, reinterpret_cast<std::uint64_t>(pages));
  EXPECT_EQ(map.inode, 0u);
  EXPECT_STREQ(map.path, "");
  EXPECT_FALSE(VRDMemoryMapAt(reinterpret_cast<std::uint64_t>(pages + 4096), &map));
  munmap(pages, 4096);
}

}  // namespace
}  // namespace crashreporting::test
