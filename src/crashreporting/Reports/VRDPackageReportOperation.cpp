#include "crashreporting/Reports/VRDPackageReportOperation.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/SystemLog.h"
#include "platform/base/StoredFile.h"

namespace fs = std::filesystem;

namespace crashreporting {

namespace {

constexpr const char* kPartialName = ".package.partial";
constexpr const char* kNoteName = ".package";

bool syncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

// Written whole or not at all: to a side file, synced, then renamed over the target.
bool writeFileAtomically(const std::string& path, const std::string& text) {
  const std::string side = path + ".new";
  std::string error;
  const int fd = tilvane::openRegularFileForWriting(side, O_WRONLY | O_CREAT | O_TRUNC, 0644, error);
  if (fd < 0) return false;
  const bool written = VRDFileWriteWithRetries(fd, text.data(), text.size()) && ::fsync(fd) == 0;
  return ::close(fd) == 0 && written && std::rename(side.c_str(), path.c_str()) == 0;
}

struct GZWrite {
  gzFile file;
};

ssize_t gzWriteStep(void* context, const char* bytes, std::size_t length) {
  auto* write = static_cast<GZWrite*>(context);
  errno = 0;
  const int written = gzwrite(write->file, bytes, static_cast<unsigned>(length));
  if (written == 0) {
    int number = 0;
    const char* text = gzerror(write->file, &number);
    VRDLogError("Error: failed to write compressed bytes %d, %s, %s \n", number, text ? text : "",
                std::strerror(errno));
  }
  return written;
}

}  // namespace

std::string VRDPackageReportOperation::packagedPathWithName(const std::string& name) const {
  return (fs::path(destinationDirectory()) / (name + ".multipartmime")).string();
}

std::optional<std::string> VRDPackageReportOperation::alreadyPackaged(const FileContents& note) const {
  const std::string name = note.bytes.substr(0, note.bytes.find('\n'));
  if (!note.ok() || name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  const std::string path = (fs::path(destinationDirectory()) / name).string();
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  return path;
}

void VRDPackageReportOperation::clearWayFor(const std::string& path) const {
  const auto kind = tilvane::notARegularFile(path);
  if (!kind) return;
  const std::string name = fs::path(path).filename().string();
  const auto kept = fileManager_.setAsideItemAtPath(path, report_.identifier() + "-" + name);
  SystemLog::write("[Vuveradarad:Crash:Reports] '" + name + "' of report '" + report_.identifier() + "' is " + *kind +
                   ", not a file: " + (kept ? "kept aside as '" + *kept + "'" : std::string("it cannot be set aside")));
}

void VRDPackageReportOperation::leaveForLater(const std::string& what, const std::string& why) {
  leftForLater_ = true;
  SystemLog::write("[Vuveradarad:Crash:Reports] " + what + " of report '" + report_.identifier() +
                   "' cannot be read now (" + why + "): the report is left for a later attempt");
}

void VRDPackageReportOperation::main() {
  finalPath_.reset();
  leftForLater_ = false;
  const FileContents note = readFileContents(fs::path(reportPath()) / kNoteName, 4096);
  if (failedForNow(note)) return leaveForLater("The package note", note.error);
  if (auto done = alreadyPackaged(note)) {
    finalPath_ = std::move(done);
    return;
  }
  // Its API key and identifier come from it: a package without them is no report.
  if (const auto notNow = report_.metadataUnreadableNow()) return leaveForLater("The metadata", *notNow);
  const std::string boundary = ZIZMultipartMimeStreamEncoder::generateBoundary();
  const std::string packagePath = packagedPathWithName(boundary);
  const std::string partialPath = (fs::path(reportPath()) / kPartialName).string();

  // The library's own side files: whatever else stands in their place (a folder, a FIFO) is set aside, so that
  // the report can still be packaged, and no open waits on it.
  clearWayFor(partialPath);
  clearWayFor((fs::path(reportPath()) / kNoteName).string() + ".new");
  bool whole = false;
  bool unlisted = false;
  {
    FileOutputStream stream(partialPath);
    ZIZMultipartMimeStreamEncoder encoder(stream, boundary);
    encoder.encode([&](ZIZMultipartMimeStreamEncoder& parts) {
      if (const auto key = report_.APIKey()) parts.addValue(Value(*key), "api_key");
      if (!report_.identifier().empty()) parts.addValue(Value(report_.identifier()), "report_id");
      const std::error_code listing = fileManager_.enumerateFilesInDirectory(
          reportPath(), [&](const std::string& path, const std::string& extension) {
            if (isCancelled() || leftForLater_ || extension == "gz") return;
            const FileContents data = readFileContents(path);
            const std::string name = fs::path(path).filename().string();
            if (failedForNow(data)) return leaveForLater("File '" + name + "'", data.error);
        if (!data.ok() || data.bytes.empty()) {
          VRDLogError("Error: unable to read data for compression: %s\n", fs::path(path).filename().c_str());
          // Sent without it; a read error (a folder in a file's place, a disk's fault) is told apart.
          if (data.status == FileContents::Status::unreadable) {
            SystemLog::write("[Vuveradarad:Crash:Reports] Unreadable file '" + fs::path(path).filename().string() +
                             "' of report '" + report_.identifier() + "': " + data.error + "; sent without it");
          }
          return;
        }
        encode(parts, std::span(reinterpret_cast<const std::uint8_t*>(data.bytes.data()), data.bytes.size()), path);
      });
      // A folder that cannot be listed is no empty report: packaged now, it would go without its files for good.
      if (listing && isPassingError(listing.value())) leaveForLater("The folder", listing.message());
      else if (listing) unlisted = true;
    });
    whole = !encoder.failed() && !unlisted;
  }
  if (isCancelled() || leftForLater_ || !whole || !syncPath(partialPath, O_RDONLY)) {
    std::remove(partialPath.c_str());
    return;
  }
  // Note the name first: once the package is in place, the folder knows it is done.
  if (!writeFileAtomically((fs::path(reportPath()) / kNoteName).string(), fs::path(packagePath).filename().string()) ||
      std::rename(partialPath.c_str(), packagePath.c_str()) != 0) {
    std::remove(partialPath.c_str());
    return;
  }
  syncPath(destinationDirectory(), O_RDONLY | O_DIRECTORY);
  finalPath_ = packagePath;
}

void VRDPackageReportOperation::encode(ZIZMultipartMimeStreamEncoder& encoder, std::span<const std::uint8_t> data,
                                       const std::string& path) {
  if (path.empty()) {
    VRDLogError("Error: path is invalid\n");
    return;
  }
  const std::string name = fs::path(path).filename().string();
  const std::string compressed = path + ".gz";
  const std::string compressedName = name + ".gz";
  clearWayFor(compressed);
  if (compressData(data, compressed)) {
    // Read back here rather than by the encoder, which would leave out a part it cannot read now.
    const FileContents gz = readFileContents(compressed);
    if (gz.ok() && !gz.bytes.empty()) {
      encoder.addFileData(std::span(reinterpret_cast<const std::uint8_t*>(gz.bytes.data()), gz.bytes.size()),
                          compressedName, std::string("application/x-gzip"), name);
      return;
    }
  }
  VRDLogError("Error: compression failed for %s\n", compressedName.c_str());
  // Plain bytes go under their own name, never under a ".gz" one.
  std::remove(compressed.c_str());
  encoder.addFileData(data, name, std::string("text/plain"), name);
}

bool VRDPackageReportOperation::compressData(std::span<const std::uint8_t> data, const std::string& path) {
  std::string error;
  const int fd = tilvane::openRegularFileForWriting(path, O_WRONLY | O_CREAT | O_TRUNC, 0644, error);
  gzFile file = fd >= 0 ? gzdopen(fd, "w") : nullptr;
  if (file == nullptr) {
    if (fd >= 0) ::close(fd);
    VRDLogError("Error: unable to open file for compression %s\n", fd >= 0 ? std::strerror(errno) : error.c_str());
    return false;
  }
  bool written = !data.empty() && writeBytesToGZFile(data.data(), data.size(), file);
  // A file that cannot be finished is no file.
  written = gzclose(file) == Z_OK && written;
  return written;
}

bool VRDPackageReportOperation::writeBytesToGZFile(const std::uint8_t* bytes, std::size_t length, gzFile file) {
  GZWrite write{file};
  return VRDFileLoopWithWriteBlock(reinterpret_cast<const char*>(bytes), length, gzWriteStep, &write);
}

}  // namespace crashreporting
