#include "crashreporting/VizuzodKit/VZDLogPipeline.h"

#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Kit/ZIZMultipartMimeStreamEncoder.h"
#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "platform/base/XdgPaths.h"

namespace crashreporting {
namespace {

void warnUnlessExtension(const fs::path& file, const std::string& expected) {
  const std::string extension = file.has_extension() ? file.extension().string().substr(1) : std::string();
  if (extension != expected)
    VZDLogger::sharedLogger().log("Error: attempted to submit file with invalid extension " + extension +
                                  ", should be " + expected);
}

void removeFile(const fs::path& file, const FileClaims& claims) {
  std::error_code ec;
  if (fs::remove(file, ec) || !ec) claims.releaseItem(file);
}

}  // namespace

fs::path VZDEventPaths::rootDirectory() {
  return tilvane::xdg::cacheHome() / kZIZDataFolderName / ZIZApplicationGetFolderName().value_or("") /
         "analytics" / "v2";
}

fs::path VZDEventPaths::generateNewLogPath(const fs::path& eventDirectory) {
  return eventDirectory / (ZIZCreateUUIDString() + ".log");
}

std::optional<std::string> VZDEventPaths::boundaryFromURL(const fs::path& file) {
  if (file.extension() != ".multipartmime") return std::nullopt;
  return file.stem().string();
}

std::vector<std::shared_ptr<Operation>> VZDLogPipeline::operationsForUncompressedLog(const fs::path& log) const {
  warnUnlessExtension(log, "log");
  const fs::path gz = VZDCompressLogOperation::compressedURLForUncompressedURL(log);
  claims_.claimItem(gz);  // the log's holder makes its gz: no one else can
  const auto compress = std::make_shared<VZDCompressLogOperation>(log, gz);
  std::vector<std::shared_ptr<Operation>> chain{compress};
  // The block sees the later steps weakly: they depend on it, so holding them would make a cycle.
  const auto later = std::make_shared<std::vector<std::weak_ptr<Operation>>>();
  const auto afterCompress = std::make_shared<VZDBlockOperation>(
      [log, claims = claims_, weakCompress = std::weak_ptr(compress), later] {
        const auto done = weakCompress.lock();
        if (done && done->success()) {
          removeFile(log, claims);
          return;
        }
        for (const auto& step : *later)
          if (const auto operation = step.lock()) operation->cancel();
      });
  afterCompress->addDependency(compress);
  chain.push_back(afterCompress);
  appendPackaging(chain, gz, afterCompress);
  for (std::size_t i = 2; i < chain.size(); ++i) later->push_back(chain[i]);
  return chain;
}

std::vector<std::shared_ptr<Operation>> VZDLogPipeline::operationsForCompressedLog(const fs::path& gz) const {
  warnUnlessExtension(gz, "gz");
  std::vector<std::shared_ptr<Operation>> chain;
  appendPackaging(chain, gz, nullptr);
  return chain;
}

void VZDLogPipeline::appendPackaging(std::vector<std::shared_ptr<Operation>>& chain, const fs::path& gz,
                                     const std::shared_ptr<Operation>& after) const {
  const std::string boundary = ZIZMultipartMimeStreamEncoder::generateBoundary();
  const fs::path packaged = VZDEventPaths::multipartMimeURLWithBoundary(eventDirectory_, boundary);
  claims_.claimItem(packaged);  // a new name: held from before the file exists until it is sent
  const auto package = std::make_shared<VZDPackageLogOperation>(gz, packaged, boundary);
  if (after) package->addDependency(after);
  const auto upload = makeUpload_(packaged, boundary);
  const auto afterPackage = std::make_shared<VZDBlockOperation>(
      [gz, claims = claims_, weakPackage = std::weak_ptr(package), weakUpload = std::weak_ptr(upload)] {
        const auto done = weakPackage.lock();
        if (done && done->success()) {
          removeFile(gz, claims);
        } else if (const auto next = weakUpload.lock()) {
          next->cancel();
        }
      });
  afterPackage->addDependency(package);
  upload->addDependency(afterPackage);
  chain.insert(chain.end(), {package, afterPackage, upload});
}

}  // namespace crashreporting
