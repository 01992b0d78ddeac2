#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ChildProcess.h"
#include "crashreporting/support/ImageUUIDs.h"
#include "crashreporting/support/Package.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

// Changes the section `.eh_frame` of the ELF file at `path` by `damage`.
void damageEhFrame(const fs::path& path, const std::function<void(std::string&)>& damage) {
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
    std::string bytes(section.sh_size, '\0');
    file.seekg(static_cast<std::streamoff>(section.sh_offset));
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    damage(bytes);
    file.seekp(static_cast<std::streamoff>(section.sh_offset));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}

// The FDEs of a section gcc wrote (32-bit lengths) by the offset of their CIE: the offsets of their records.
std::map<std::size_t, std::vector<std::size_t>> fdesByCie(const std::string& section) {
  std::map<std::size_t, std::vector<std::size_t>> fdes;
  for (std::size_t at = 0; at + 8 <= section.size();) {
    std::uint32_t words[2];
    std::memcpy(words, section.data() + at, sizeof words);
    if (words[0] == 0) break;
    if (words[1] != 0) fdes[at + 4 - words[1]].push_back(at);
    at += 4 + std::size_t{words[0]};
  }
  return fdes;
}

// The FDE in the middle of the CIE that most FDEs use gets an augmentation data length running past its record.
void breakMiddleFdeOfLargestCie(std::string& section) {
  const auto fdes = fdesByCie(section);
  const auto largest = std::max_element(
      fdes.begin(), fdes.end(), [](const auto& a, const auto& b) { return a.second.size() < b.second.size(); });
  const std::size_t fde = largest->second.at(largest->second.size() / 2);
  std::uint32_t length = 0;
  std::memcpy(&length, section.data() + fde, 4);
  ASSERT_LT(length, 0x7fu);
  section.at(fde + 16) = 0x7f;  // after the length, the CIE pointer and the 4-byte start and range
}

void zeroEveryCiePointer(std::string& section) {
  for (const auto& [cie, fdes] : fdesByCie(section)) {
    for (const std::size_t fde : fdes) std::memset(section.data() + fde + 4, 0, 4);
  }
}

// The threads of a crash in a host linked with plain -static (so without .eh_frame_hdr) whose crashing code has
// no frame pointers, as the package made at its next start names them: from frame 0, the frames gdb shows (it
// stops at main, where the record goes on to _start; below start_thread both show clone3, by one alias or
// another). Every image UUID is in the 32-digit form the onboarding sends for the host, an 8-byte build-id's
// (lld's default) padded with zeros.
using Threads = std::map<std::string, std::vector<std::string>>;
const Threads kThreads = {
    {"static-crasher",
     {"static_crash_leaf", "static_crash_mid", "static_crash_thread",
      "crashreporting::(anonymous namespace)::startWithAltStack(void*)", "start_thread"}},
    {"static-main",
     {"__futex_abstimed_wait_common", "__pthread_clockjoin_ex", "main", "__libc_start_call_main",
      "__libc_start_main_impl", "_start"}},
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
  EXPECT_LE(damageLines, 2) << log.substr(0, 2000);
  EXPECT_TRUE(std::all_of(log.begin(), log.end(), [](char c) { return c == '\n' || (c >= ' ' && c <= '~'); }))
      << "only printable text";
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

// Whole, and with its .eh_frame damaged: one FDE in the middle of its largest CIE costs that FDE's function
// alone; with the section all 0xff or every FDE read as a CIE, no FDE is listed and the crashing function is
// found all the same. Whatever the damage, the log says so in two lines at most, in printable text.
TEST(StaticHostCrash, TheNextStartsPackageNamesEveryFrameGdbShowsOfTheCrashedAndTheMainThread) {
  const Threads crashingFunction = {{"static-crasher", {"static_crash_leaf"}}};
  const struct {
    fs::path host;
    std::function<void(std::string&)> damage;
    const Threads& threads;
    std::string logged;
  } cases[] = {
      {CRASHREPORTING_STATICHOST, nullptr, kThreads, ""},
      {CRASHREPORTING_STATICHOST_SHORTID, nullptr, kThreads, ""},
      {CRASHREPORTING_STATICHOST, breakMiddleFdeOfLargestCie, kThreads,
       "left out: 1 FDEs that cannot be parsed, 0 CIEs that cannot be parsed and their 0 FDEs, 0 FDEs"},
      {CRASHREPORTING_STATICHOST, [](std::string& bytes) { bytes.assign(bytes.size(), '\xff'); }, crashingFunction,
       ": 0 FDEs listed up to offset 0x0 of"},
      {CRASHREPORTING_STATICHOST, zeroEveryCiePointer, crashingFunction, ": 0 FDEs listed up to offset"},
  };
  for (const auto& c : cases) {
    const tilvane::test::ScopedTempDir temp;
    fs::path host = c.host;
    if (c.damage) {
      host = temp.path() / "damaged-host";
      fs::copy_file(c.host, host);
      damageEhFrame(host, c.damage);
    }
    expectNamedAfterCrash(host, c.threads, c.logged);
  }
}

}  // namespace
}  // namespace crashreporting::test
