#include <elf.h>
#include <gtest/gtest.h>

#include <map>

#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ChildProcess.h"
#include "crashreporting/support/ImageUUIDs.h"
#include "crashreporting/support/Package.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

// Overwrites the section `.eh_frame` of the ELF file at `path` with 0xff bytes.
void damageEhFrame(const fs::path& path) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  Elf64_Ehdr header;
  file.read(reinterpret_cast<char*>(&header), sizeof header);
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  file.seekg(static_cast<std::streamoff>(header.e_shoff));
  file.read(reinterpret_cast<char*>(sections.data()),
            static_cast<std::streamsize>(sections.size() * sizeof(Elf64_Shdr)));
  std::string names(sections.at(header.e_shstrndx).sh_size, '\0');
  file.seekg(static_cast<std::streamoff>(sections[header.e_shstrndx].sh_offset));
  file.read(names.data(), static_cast<std::streamsize>(names.size()));
  for (const Elf64_Shdr& section : sections) {
    if (std::string_view(names.c_str() + section.sh_name) != ".eh_frame") continue;
    file.seekp(static_cast<std::streamoff>(section.sh_offset));
    file << std::string(section.sh_size, '\xff');
  }
}

// The threads of a crash in a host linked with plain -static (so without .eh_frame_hdr) whose crashing code has
// no frame pointers, as the package made at its next start names them: from frame 0, the frames gdb shows (it
// stops at main, where the record goes on to _start; below start_thread both show clone3, by one alias or
// another). With an 8-byte build-id (lld's default) the same; with `.eh_frame` all 0xff the crashing function,
// and the log says so in two lines at most. Either way every image UUID is in the 32-digit form the onboarding
// sends for the host.
using Threads = std::map<std::string, std::vector<std::string>>;
const Threads kThreads = {
    {"static-crasher",
     {"static_crash_leaf", "static_crash_mid", "static_crash_thread",
      "crashreporting::(anonymous namespace)::startWithAltStack(void*)", "start_thread"}},
    {"static-main", {"__futex_abstimed_wait_common", "__pthread_clockjoin_ex", "main"}},
};

void expectNamedAfterCrash(const fs::path& host, const Threads& expected, const std::string& damage) {
  SCOPED_TRACE(host);
  const tilvane::test::ScopedTempDir temp;
  const fs::path report = temp.path() / "report";
  fs::create_directories(report);
  const FinishedChild crashed = runChild(host, {"crash", report.string()});
  ASSERT_TRUE(crashed.diedBy(SIGSEGV)) << crashed.status;
  const FinishedChild next = runChild(host, {"next", report.string()}, {{"XDG_CACHE_HOME", temp.path().string()}});
  ASSERT_TRUE(next.exitedWith(0)) << next.status;
  const fs::path package = next.output.substr(0, next.output.find('\n'));

  std::map<std::string, std::string> files;
  for (const PackagePart& part : parsePackage(readText(package), package.stem().string())) {
    files[part.name] = gunzip(part.body).value_or("");
  }
  nlohmann::json names;
  std::istringstream record(files["signal.vrdrecord"]);
  for (std::string line; std::getline(record, line);) {
    if (line.starts_with("{\"thread_names\"")) names = nlohmann::json::parse(line)["thread_names"];
  }
  expectImageUUIDsInOneForm(files["binary_images.vrdrecord"], files["metadata.vrdrecord"], host);
  const auto threads = nlohmann::json::parse(files["signal.vrdrecord.symbolicated"])["threads"];
  ASSERT_EQ(threads.size(), names.size());
  const std::string& log = files["sdk.log"];
  EXPECT_TRUE(!damage.empty() || log.find("Failed to advance to the next frame") == std::string::npos) << log;
  std::istringstream lines(log);
  int damageLines = 0;
  for (std::string line; std::getline(lines, line);) {
    damageLines += line.find("FDE") != std::string::npos || line.find("CIE") != std::string::npos;
  }
  EXPECT_LE(damageLines, 2);
  EXPECT_NE(log.find(damage), std::string::npos) << log.substr(0, 2000);
  for (const auto& [name, frames] : expected) {
    const auto thread = std::find(names.begin(), names.end(), name) - names.begin();
    ASSERT_LT(thread, static_cast<std::ptrdiff_t>(threads.size())) << name;
    std::vector<std::string> symbols;
    for (const auto& frame : threads[thread])
      symbols.push_back(frame["symbol"].is_string() ? frame["symbol"] : "?");
    EXPECT_EQ(std::vector(symbols.begin(), symbols.begin() + std::min(symbols.size(), frames.size())), frames)
        << name << ": " << ::testing::PrintToString(symbols);
  }
}

TEST(StaticHostCrash, TheNextStartsPackageNamesEveryFrameGdbShowsOfTheCrashedAndTheMainThread) {
  const tilvane::test::ScopedTempDir temp;
  const fs::path damaged = temp.path() / "damaged-host";
  fs::copy_file(CRASHREPORTING_STATICHOST, damaged);
  damageEhFrame(damaged);
  expectNamedAfterCrash(CRASHREPORTING_STATICHOST, kThreads, "");
  expectNamedAfterCrash(CRASHREPORTING_STATICHOST_SHORTID, kThreads, "");
  expectNamedAfterCrash(damaged, {{"static-crasher", {"static_crash_leaf"}}},
                        "is damaged at offset 0x0: 0 FDEs were listed");
}

}  // namespace
}  // namespace crashreporting::test
