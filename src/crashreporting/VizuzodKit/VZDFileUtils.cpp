#include "crashreporting/VizuzodKit/VZDFileUtils.h"

#include <sys/stat.h>

#include <string>

#include "crashreporting/VizuzodKit/VZDLogger.h"

namespace crashreporting {

namespace fs = std::filesystem;

std::set<fs::path> VZDFileUtils::allFilesInDirectory(const fs::path& directory) {
  std::set<fs::path> files;
  std::error_code ec;
  fs::directory_iterator it(directory, ec);
  for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) files.insert(it->path());
  if (ec) {
    VZDLogger::sharedLogger().log("Unable to read contents of " + directory.string() + ": " + ec.message());
    return {};
  }
  return files;
}

std::set<fs::path> VZDFileUtils::filesWithExtension(std::string_view extension, const fs::path& directory) {
  const std::string dotted = "." + std::string(extension);
  std::set<fs::path> files;
  for (const fs::path& file : allFilesInDirectory(directory))
    if (file.extension() == dotted) files.insert(file);
  return files;
}

std::uintmax_t VZDFileUtils::fileSizeAtURL(const fs::path& file) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(file, ec);
  return ec ? 0 : size;
}

VZDFileUtils::Date VZDFileUtils::fileCreatedDateAtURL(const fs::path& file, Date fallback) {
  // The events files are written once and then only renamed, so their last write is when they were made; unlike
  // a birth time, which not every file system keeps, it survives a copy that keeps times.
  struct stat attributes {};
  if (stat(file.c_str(), &attributes) != 0) return fallback;
  return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(attributes.st_mtim.tv_sec) +
                                                         std::chrono::nanoseconds(attributes.st_mtim.tv_nsec)));
}

}  // namespace crashreporting
