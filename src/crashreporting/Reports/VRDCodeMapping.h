#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// Where a piece of code was mapped from: a file, and a number for its source. Nothing sets the source's name.

namespace crashreporting {

class VRDCodeMapping {
 public:
  explicit VRDCodeMapping(std::filesystem::path path) : path_(std::move(path)) {}
  static VRDCodeMapping mappingWithPath(std::filesystem::path path) { return VRDCodeMapping(std::move(path)); }

  const std::filesystem::path& path() const { return path_; }
  std::int32_t source() const { return source_; }
  void setSource(std::int32_t source) { source_ = source; }
  const std::optional<std::string>& sourceName() const { return sourceName_; }

 private:
  std::filesystem::path path_;
  std::int32_t source_ = 0;
  std::optional<std::string> sourceName_;
};

}  // namespace crashreporting
