#include "crashreporting/VizuzodKit/VZDLogOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "crashreporting/Kit/ZIZMultipartMimeStreamEncoder.h"
#include "crashreporting/Kit/ZIZNetworkOperation.h"
#include "crashreporting/VizuzodKit/VZDDamage.h"
#include "crashreporting/VizuzodKit/VZDFileUtils.h"
#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/Json.h"
#include "crashreporting/platform/OutputStream.h"
#include "crashreporting/platform/SystemLog.h"
#include "platform/base/StoredFile.h"

namespace crashreporting {
namespace {

/// The analytics root of an item of its events folder.
fs::path rootOfEventItem(const fs::path& item) { return item.parent_path().parent_path(); }

/// The whole file; one that is there but cannot be read is damage: set aside from `root`, said at warning. A read
/// that failed for a passing reason (too many open files, no memory) says nothing about the file: it stays.
std::optional<std::string> readFile(const fs::path& file, const fs::path& root) {
  FileContents contents = readFileContents(file);
  if (failedForNow(contents)) {
    SystemLog::write("[Vizuzod] '" + file.filename().string() + "' cannot be read now (" + contents.error +
                     "): it is left for a later attempt");
  } else if (contents.status == FileContents::Status::unreadable) {
    VZDSetAsideDamagedItem(root, file, "it cannot be read (" + contents.error + ")");
  }
  if (!contents.ok()) return std::nullopt;
  return std::move(contents.bytes);
}

/// What stands at one of the kit's own paths and is no regular file is damage: set aside before it is written.
void setAsideIfNoFile(const fs::path& file, const fs::path& root) {
  if (const auto kind = tilvane::notARegularFile(file)) VZDSetAsideDamagedItem(root, file, "it is " + *kind);
}

int openForAppending(const fs::path& file, std::string& error) {
  return tilvane::openRegularFileForWriting(file, O_WRONLY | O_CREAT | O_APPEND, 0644, error);
}

std::uint64_t wholeSeconds(double seconds) { return seconds > 0 ? static_cast<std::uint64_t>(seconds) : 0; }

}  // namespace

std::optional<std::string> VZDLogLine(double timestampSeconds, const std::string& name, const Dictionary& payload) {
  std::string error;
  const auto json = json::encode(Value(payload), error);
  if (!json) return std::nullopt;
  const double ms = timestampSeconds * 1000.0;
  const std::uint64_t millis = ms > 0 ? static_cast<std::uint64_t>(ms) : 0;
  return std::to_string(millis) + "\t" + name + "\t" + std::to_string(json->size()) + "\t" + *json;
}

VZDWriteEventOperation::VZDWriteEventOperation(const VZDEvent& event, const VZDMetadataSerializable& metadata,
                                               fs::path logFile)
    : formattedEvent_(VZDLogLine(event.timestamp(), event.name(), event.dictionaryRepresentation())),
      logFile_(std::move(logFile)) {
  if (const auto payload = metadata.dictionaryRepresentationWithStartTime(wholeSeconds(event.timestamp())))
    formattedMetadata_ = VZDLogLine(event.timestamp(), metadata.eventName(), *payload);
}

bool VZDWriteEventOperation::append(int fd, const std::string& line) {
  const std::string bytes = line + "\n";
  struct stat before {};
  const bool sized = ::fstat(fd, &before) == 0;
  std::size_t done = 0;
  for (int attempt = 0; attempt < 3 && done < bytes.size(); ++attempt) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      writeError_ = std::strerror(errno);
      VZDLogger::sharedLogger().logWithLabel("WriteOperation", "Failed to write: " + *writeError_);
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done == bytes.size()) return true;
  if (!writeError_) writeError_ = "the write stopped short";
  VZDLogger::sharedLogger().log("Error: exited write loop without success");
  // A torn line would spoil the one after it: the file goes back to where the line began (the log is this
  // process's alone).
  if (done > 0 && (!sized || ::ftruncate(fd, before.st_size) != 0))
    VZDLogger::sharedLogger().logWithLabel("WriteOperation", "Failed to take back a torn line");
  return false;
}

void VZDWriteEventOperation::main() {
  success_ = false;
  opened_ = false;
  openError_.reset();
  writeError_.reset();
  unwritten_.clear();
  // Nothing to write: leave no file behind (an empty new file would later get no metadata line).
  if (!formattedMetadata_ || (!formattedEvent_ && earlierLines_.empty())) return;
  std::vector<std::string> lines = earlierLines_;
  if (formattedEvent_) lines.push_back(*formattedEvent_);
  std::error_code ec;
  if (fs::is_directory(logFile_, ec)) {
    openError_ = "Not a regular file (a folder)";
    unwritten_ = std::move(lines);
    return;
  }
  std::string error;
  const int fd = openForAppending(logFile_, error);
  if (fd < 0) {
    openError_ = error;
    unwritten_ = std::move(lines);
    return;
  }
  opened_ = true;
  // A file that is there but empty (its first write failed) still wants its metadata line.
  struct stat info {};
  const bool headed = ::fstat(fd, &info) == 0 && info.st_size > 0;
  bool ok = headed || append(fd, *formattedMetadata_);
  std::size_t written = 0;
  while (ok && written < lines.size()) {
    if (append(fd, lines[written])) ++written;
    else ok = false;
  }
  if (::close(fd) != 0 && ok) {
    writeError_ = std::strerror(errno);
    VZDLogger::sharedLogger().logWithLabel("WriteOperation", "Failed to close file, error: " + *writeError_);
    // Whether the last lines reached the disk is unknown: they count as written rather than go twice.
  }
  if (!ok) unwritten_.assign(lines.begin() + static_cast<std::ptrdiff_t>(written), lines.end());
  success_ = ok;
}

void VZDCompressLogOperation::main() {
  std::error_code ec;
  if (!fs::is_regular_file(log_, ec)) {
    VZDLogger::sharedLogger().log("Error: attempting to compress nonexistent file: " + log_.string());
    return;
  }
  setAsideIfNoFile(gz_, rootOfEventItem(gz_));
  if (fs::exists(gz_, ec)) {
    success_ = true;
    return;
  }
  const auto bytes = readFile(log_, rootOfEventItem(log_));
  std::string error;
  const int fd = bytes ? tilvane::openRegularFileForWriting(gz_, O_WRONLY | O_CREAT | O_TRUNC, 0644, error) : -1;
  gzFile out = fd >= 0 ? gzdopen(fd, "w") : nullptr;
  if (!out && fd >= 0) ::close(fd);
  if (!out) {
    VZDLogger::sharedLogger().log("Failed to compress file at " + log_.string());
    return;
  }
  const int written = bytes->empty() ? 0 : gzwrite(out, bytes->data(), static_cast<unsigned>(bytes->size()));
  const bool closed = gzclose(out) == Z_OK;
  success_ = closed && written == static_cast<int>(bytes->size());
  if (!success_) {
    VZDLogger::sharedLogger().log("Failed to compress file at " + log_.string());
    fs::remove(gz_, ec);  // a cut gz would be sent as if whole; the log stays for the next try
  }
}

void VZDPackageLogOperation::main() {
  // Read before the package is begun: a package without its events would be sent, and the gz deleted, as if whole.
  const auto events = readFile(gz_, rootOfEventItem(gz_));
  if (!events) {
    VZDLogger::sharedLogger().log("Error: attempting to package nonexistent file: " + gz_.string());
    return;
  }
  std::error_code ec;
  FileOutputStream stream(packaged_);
  if (!stream.open()) return;
  ZIZMultipartMimeStreamEncoder encoder(stream, boundary_);
  const std::string name = gz_.filename().string();
  encoder.encode([&](ZIZMultipartMimeStreamEncoder& e) {
    e.addFileData(std::span(reinterpret_cast<const std::uint8_t*>(events->data()), events->size()), name,
                  std::string("application/vnd.vuveradarad.mac.events"), name);
  });
  stream.close();
  success_ = !encoder.failed();
  if (!success_) fs::remove(packaged_, ec);
}

URLRequest VZDUploadOperation::request() const {
  URLRequest request(url_);
  std::error_code ec;
  const auto size = fs::file_size(multipart_, ec);
  const auto now = static_cast<std::uint64_t>(VZDNow());
  request.setValue(ZIZMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(boundary_), "Content-Type");
  request.setValue(std::to_string(ec ? 0 : size), "Content-Length");
  request.setValue("Vizuzod Mac SDK/1.3.6", "User-Agent");
  request.setValue(kZIZDeveloperToken, "X-VUVERADARAD-DEVELOPER-TOKEN");
  request.setValue("Vizuzod Mac SDK", "X-VUVERADARAD-API-CLIENT-TYPE");
  request.setValue("29", "X-VUVERADARAD-API-CLIENT-VERSION");
  request.setValue("1.3.6", "X-VUVERADARAD-API-CLIENT-DISPLAY-VERSION");
  request.setValue("29", "X-VUVERADARAD-API-CLIENT-BUILD-VERSION");
  if (apiKey_) request.setValue(*apiKey_, "X-VUVERADARAD-API-KEY");
  request.setValue(std::to_string(now), "X-Vuveradarad-Api-Client-Packaged-Timestamp");
  request.setHTTPMethod("POST");
  request.setHTTPBodyFile(multipart_);
  return request;
}

void VZDUploadOperation::main() {
  const std::string uniqueName = multipart_.stem().string();
  VZDLogger::sharedLogger().log("Transmitting packaged events for '" + uniqueName + "'.");
  if (const auto uploader = uploader_.lock()) uploader->startUploadRequest(request(), multipart_, uniqueName);
}

std::optional<Dictionary> VZDCrashMetadata::readSerializedDictionaryFromURL(const fs::path& file) {
  const auto text = readFile(file, file.parent_path());
  if (!text) return std::nullopt;
  std::string error;
  const auto value = json::decode(*text, error);
  const auto* dictionary = value ? value->get<Dictionary>() : nullptr;
  return dictionary ? std::optional(*dictionary) : std::nullopt;
}

bool VZDCrashMetadata::writeSerializedDictionary(const Dictionary& dictionary, const fs::path& file) {
  std::string error;
  const auto text = json::encode(Value(dictionary), error);
  if (!text) return false;
  const fs::path temporary = fs::path(file).concat(".tmp");
  setAsideIfNoFile(temporary, file.parent_path());
  std::string openError;
  const int fd = tilvane::openRegularFileForWriting(temporary, O_WRONLY | O_CREAT | O_TRUNC, 0644, openError);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < text->size()) {
    const ssize_t n = ::write(fd, text->data() + done, text->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 || done < text->size()) return false;
  std::error_code ec;
  fs::rename(temporary, file, ec);
  return !ec;
}

VZDRotateCrashMetadataOperation::VZDRotateCrashMetadataOperation(fs::path file, const VZDMetadata& current)
    : file_(std::move(file)), currentDictionary_(current.dictionaryRepresentationWithStartTime(wholeSeconds(VZDNow()))) {}

void VZDRotateCrashMetadataOperation::main() {
  std::error_code ec;
  setAsideIfNoFile(file_, file_.parent_path());
  if (fs::exists(file_, ec)) {
    crashMetadata_ = std::make_shared<VZDCrashMetadata>(VZDCrashMetadata::readSerializedDictionaryFromURL(file_));
    fs::remove(file_, ec);
  } else {
    crashMetadata_ = std::make_shared<VZDCrashMetadata>(Dictionary{});
  }
  if (currentDictionary_) VZDCrashMetadata::writeSerializedDictionary(*currentDictionary_, file_);
}

VZDCleanupFilesOperation::URLs VZDCleanupFilesOperation::URLsByRemovingOldFiles(const URLs& files,
                                                                                std::int64_t maximum) {
  if (maximum < 0 || static_cast<std::int64_t>(files.size()) <= maximum) return files;
  std::vector<std::pair<VZDFileUtils::Date, fs::path>> dated;
  for (const auto& file : files) dated.emplace_back(VZDFileUtils::fileCreatedDateAtURL(file, VZDFileUtils::Date::min()), file);
  std::sort(dated.begin(), dated.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  URLs kept;
  for (std::size_t i = 0; i < dated.size(); ++i) {
    std::error_code ec;
    if (static_cast<std::int64_t>(i) < maximum) kept.insert(dated[i].second);
    else fs::remove(dated[i].second, ec);
  }
  return kept;
}

void VZDCleanupFilesOperation::main() {
  std::map<std::string, fs::path> logs, gzs, multiparts;
  std::error_code ec;
  for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    const std::string extension = path.extension().string();
    const std::string base = path.stem().string();
    if (extension == ".log") logs[base] = path;
    else if (extension == ".gz") gzs[base] = path;
    else if (extension == ".multipartmime") multiparts[base] = path;
    else {
      std::error_code removeError;
      fs::remove_all(path, removeError);
    }
  }
  // A listing cut short (most often by a shortage of descriptors) would sort half the folder: all of it waits.
  if (ec && ec != std::errc::no_such_file_or_directory) {
    SystemLog::write("[Vizuzod] The events folder cannot be listed now (" + ec.message() +
                     "): its files are left for a later start");
    return;
  }
  const auto claim = [this](const fs::path& file) { return claims_.claimItem(file); };
  for (auto log = logs.begin(); log != logs.end();) {
    if (claim(log->second)) {
      ++log;
      continue;
    }
    gzs.erase(log->first);  // being compressed by the log's holder
    log = logs.erase(log);
  }
  std::erase_if(gzs, [&](const auto& entry) { return !claim(entry.second); });
  std::erase_if(multiparts, [&](const auto& entry) { return !claim(entry.second); });
  // What is no regular file in an item's place is damage, set aside once rather than tried at every start.
  const auto damaged = [&](const auto& entry) {
    const auto kind = tilvane::notARegularFile(entry.second);
    if (kind) VZDSetAsideDamagedItem(directory_.parent_path(), entry.second, "it is " + *kind);
    return kind.has_value();
  };
  std::erase_if(logs, damaged);
  std::erase_if(gzs, damaged);
  std::erase_if(multiparts, damaged);
  for (const auto& [base, log] : logs) {
    const auto gz = gzs.find(base);
    if (gz == gzs.end()) continue;
    std::error_code removeError;
    if (!fs::remove(gz->second, removeError) && removeError) {
      VZDLogger::sharedLogger().logWithLabel("CleanupOperation",
                                             "Failed to remove " + gz->second.string() + ": " + removeError.message());
    } else {
      claims_.releaseItem(gz->second);
    }
    gzs.erase(gz);
  }
  URLs logSet, gzSet, multipartSet;
  for (const auto& [base, path] : logs) logSet.insert(path);
  for (const auto& [base, path] : gzs) gzSet.insert(path);
  for (const auto& [base, path] : multiparts) multipartSet.insert(path);
  const URLs kept = URLsByRemovingOldFiles(multipartSet, maximum_);
  for (const auto& file : multipartSet)
    if (!kept.contains(file)) claims_.releaseItem(file);
  multipartSet = kept;
  if (successBlock_) successBlock_(logSet, gzSet, multipartSet);
}

}  // namespace crashreporting
