#include "crashreporting/Kit/ZIZDownloadAndSaveSettingsOperation.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <system_error>

#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"
#include "crashreporting/Kit/ZIZSettings.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/platform/SystemLog.h"
#include "platform/base/DamagedCopy.h"
#include "platform/defaults/FileIo.h"
#include "platform/base/StoredFile.h"

namespace crashreporting {
namespace fs = std::filesystem;
namespace {

Error fileError(const std::error_code& code, const std::string& what) {
  Error error{"NSPOSIXErrorDomain", code.value(), {}, {}};
  error.userInfo.emplace(kLocalizedDescriptionKey, Value(what + ": " + code.message()));
  return error;
}

}  // namespace

ZIZDownloadAndSaveSettingsOperation::ZIZDownloadAndSaveSettingsOperation(
    std::string APIKey, std::weak_ptr<ZIZDownloadAndSaveSettingsOperationDelegate> delegate, std::string settingsURL,
    fs::path settingsDirectoryPath, fs::path settingsFilePath, std::string installIdentifier,
    const std::optional<std::string>& advertisingToken, std::weak_ptr<ZIZNetworkClient> networkClient)
    : ZIZNetworkOperation(std::move(APIKey)),
      delegate_(std::move(delegate)),
      settingsURL_(std::move(settingsURL)),
      settingsDirectoryPath_(std::move(settingsDirectoryPath)),
      settingsFilePath_(std::move(settingsFilePath)),
      installIdentifier_(std::move(installIdentifier)),
      networkClient_(std::move(networkClient)) {
  if (ZIZShouldCollectDeviceIdentifiers()) {
    advertisingToken_ = advertisingToken;
  } else if (ZIZIsDebugEnabled()) {
    SystemLog::write("[Zizozu] Suppressing device identifier reporting");
  }
}

URLRequest ZIZDownloadAndSaveSettingsOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const std::string& url) const {
  URLRequest request = ZIZNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(url);
  request.setHTTPMethod("GET");
  request.setValue("application/json", "Accept");
  request.setValue(installIdentifier_, "X-Vuveradarad-Installation-ID");
  request.setValue(ZIZHostGetModel().value_or(""), "X-Vuveradarad-Device-Model");
  request.setValue(ZIZHostGetOSBuildVersion().value_or(""), "X-Vuveradarad-OS-Build-Version");
  request.setValue(ZIZHostGetOSDisplayVersion(), "X-Vuveradarad-OS-Display-Version");
  request.setValue(ZIZFrameworkDisplayVersion, "X-Vuveradarad-API-Client-Version");
  if (advertisingToken_ && !advertisingToken_->empty())
    request.setValue(*advertisingToken_, "X-Vuveradarad-Advertising-Token");
  return request;
}

std::optional<Error> ZIZDownloadAndSaveSettingsOperation::error() const {
  const std::lock_guard lock(errorMutex_);
  return error_;
}

void ZIZDownloadAndSaveSettingsOperation::main() {
  const auto client = networkClient_.lock();
  if (!client) {
    report(ZIZNetworkResponseHandler::errorForCode(ZIZNetworkErrorNoTask));
    return;
  }
  const auto self = std::static_pointer_cast<ZIZDownloadAndSaveSettingsOperation>(shared_from_this());
  client->startDownloadTaskWithRequest(
      mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(settingsURL_), 1,
      [self](std::optional<fs::path> location, std::optional<URLResponse>, std::optional<Error> error) {
        self->downloadFinished(location, error);
      });
}

void ZIZDownloadAndSaveSettingsOperation::downloadFinished(const std::optional<fs::path>& location,
                                                           const std::optional<Error>& error) {
  if (error) {
    report(error);
    return;
  }
  std::optional<Error> saved =
      location ? saveDownloadedFile(*location) : fileError(std::make_error_code(std::errc::no_such_file_or_directory),
                                                           "the download left no file");
  if (saved) SystemLog::write("[Zizozu] Unable to complete settings download " + saved->description());
  report(saved);
}

namespace {

/// A folder (or FIFO, or link) where the settings file belongs would refuse every download for good: it is set
/// aside beside it, with a line, so that fresh settings can be stored.
void setAsideWhatIsNoFile(const fs::path& path) {
  const auto kind = tilvane::notARegularFile(path);
  if (!kind) return;
  const fs::path kept = tilvane::damagedCopyName(path, std::time(nullptr));
  std::error_code code;
  fs::rename(path, kept, code);
  SystemLog::write("[Zizozu] '" + path.string() + "' is " + *kind + ", not a file: " +
                   (code ? "it cannot be set aside (" + code.message() + ")" : "kept aside as '" + kept.string() + "'"));
}

/// A side file left by a copy that was killed before its rename would otherwise stay for good. One older than any
/// download of a running copy can take is such a leftover; a younger one may be another copy's download in flight.
/// The one download file that all copies of earlier versions shared goes whatever its age: nothing of this version
/// writes it.
void removeLeftSideFiles(const fs::path& settingsFile) {
  const std::string shared = settingsFile.filename().string() + ".download";
  const std::string prefix = shared + "-";
  const auto oldest = fs::file_time_type::clock::now() - std::chrono::minutes(10);
  tilvane::defaults::removeLeftFiles(settingsFile.parent_path(), [&](const fs::directory_entry& entry) {
    const std::string name = entry.path().filename().string();
    if (name == shared) return true;
    std::error_code unknown;
    return name.starts_with(prefix) && entry.last_write_time(unknown) <= oldest && !unknown;
  });
}

}  // namespace

std::optional<Error> ZIZDownloadAndSaveSettingsOperation::saveDownloadedFile(const fs::path& location) const {
  std::error_code code;
  fs::create_directories(settingsDirectoryPath_, code);
  if (code) return fileError(code, "cannot make " + settingsDirectoryPath_.string());
  setAsideWhatIsNoFile(settingsFilePath_);
  removeLeftSideFiles(settingsFilePath_);
  // A side file of this download's own: copies of the host started together each put their download beside the
  // settings and rename it over them, and one side file for all let one copy rename away another's.
  std::string name = settingsFilePath_.string() + ".download-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return fileError(std::error_code(errno, std::generic_category()), "cannot write " + name);
  ::close(fd);
  const fs::path aside = name;
  // The download may lie on another file system, where it can only be copied.
  fs::rename(location, aside, code);
  if (code) {
    code.clear();
    fs::copy_file(location, aside, fs::copy_options::overwrite_existing, code);
  }
  const std::string failed =
      code ? "cannot write " + aside.string() : "cannot replace " + settingsFilePath_.string();
  if (!code) fs::rename(aside, settingsFilePath_, code);
  if (code) {
    std::error_code ignored;
    fs::remove(aside, ignored);
    return fileError(code, failed);
  }
  return std::nullopt;
}

void ZIZDownloadAndSaveSettingsOperation::report(const std::optional<Error>& error) {
  {
    const std::lock_guard lock(errorMutex_);
    error_ = error;
  }
  if (const auto delegate = delegate_.lock()) delegate->operationDidDownloadAndSaveSettingsWithError(*this, error);
  finishWithError(error);
}

}  // namespace crashreporting
