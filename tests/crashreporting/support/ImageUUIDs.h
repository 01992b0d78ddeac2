#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "crashreporting/Kit/ZIZApplicationIdentiferModel.h"
#include "crashreporting/support/CaptureTest.h"

// The image UUIDs a crash leaves, checked against the files themselves and against what the onboarding sends.

namespace crashreporting::test {

/// The whole GNU build-id of the ELF file at `path` in hex; empty when it has none or cannot be read. The
/// first note of type 3 named "GNU": the notes that come before it (ABI tag, properties) have other types.
inline std::string wholeBuildID(const std::filesystem::path& path) {
  const std::string bytes = readText(path);
  const std::string typeAndName("\x03\0\0\0GNU\0", 8);
  const std::size_t at = bytes.find(typeAndName);
  if (at == std::string::npos || at < 8 || bytes.compare(at - 8, 4, std::string("\x04\0\0\0", 4)) != 0) return {};
  std::uint32_t size = 0;
  std::memcpy(&size, bytes.data() + at - 4, sizeof size);
  return at + 8 + size <= bytes.size() ? hexText(bytes.substr(at + 8, size)) : std::string();
}

/// Every `uuid` of a run's binary-image record and metadata (their texts) is 32 lower-case hex digits: the
/// first 16 bytes of the image file's build-id, padded with zeros when it is shorter; and the executable's is
/// the one the onboarding sends for `program`.
inline void expectImageUUIDsInOneForm(const std::string& binaryImages, const std::string& metadata,
                                      const std::filesystem::path& program) {
  const std::regex form("[0-9a-f]{32}");
  std::istringstream images(binaryImages);
  int checked = 0;
  for (std::string line; std::getline(images, line);) {
    const auto image = nlohmann::json::parse(line);
    const auto& fields = image.begin().value();
    const std::string uuid = fields["uuid"];
    EXPECT_TRUE(std::regex_match(uuid, form)) << line;
    const std::string buildID = wholeBuildID(fields["path"].get<std::string>());
    if (!buildID.empty()) {
      EXPECT_EQ(uuid, (buildID + std::string(32, '0')).substr(0, 32)) << line;
    }
    checked += !buildID.empty();
  }
  EXPECT_GT(checked, 0) << binaryImages;
  std::istringstream sections(metadata);
  std::string executable;
  for (std::string line; std::getline(sections, line);) {
    if (const auto section = nlohmann::json::parse(line); section.contains("executable")) {
      executable = section["executable"]["uuid"];
    }
  }
  EXPECT_TRUE(std::regex_match(executable, form)) << metadata;
  const auto onboarding = ZIZApplicationIdentiferModel::initWithInstallID("install", program);
  ASSERT_TRUE(onboarding) << program;
  EXPECT_EQ(onboarding->architectureUUIDMap(), (std::map<std::string, std::string>{{"x86_64", executable}}));
}

}  // namespace crashreporting::test
