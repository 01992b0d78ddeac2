// The request side of the upload: the address, the header fields and the multipart body's length.
#include <filesystem>

#include "crashreporting/Kit/ZIZMultipartMimeStreamEncoder.h"
#include "crashreporting/Kit/ZIZURLBuilder.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/VRDNetworkClient.h"
#include "crashreporting/Reports/VRDReportsController.h"
#include "crashreporting/Reports/VRDRequest.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

void log(const std::string& text) { SystemLog::write("[Vuveradarad:Crash:Reports] " + text); }

}  // namespace

std::optional<std::string> VRDReportsController::reportURL() {
  ZIZURLBuilder builder = ZIZURLBuilder::URLWithBase(settings().reportsEndpoint());
  builder.appendComponent("/sdk-api/v1/platforms/");
  builder.appendComponent("mac");
  builder.appendComponent("/apps/");
  builder.appendComponent(appBundleIdentifier().value_or(""));
  builder.appendComponent("/reports");
  return builder.URL();
}

URLRequest VRDReportsController::mutableRequestWithURL(const std::string& url, double timeout) {
  return VRDMutableRequestWithURL(url, timeout, APIKey().value_or(""));
}

bool VRDReportsController::fillInRequestForMultipartMimeDataAtPath(URLRequest& request, const std::string& path) {
  const std::string boundary = std::filesystem::path(path).stem().string();
  request.setValue(ZIZMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(boundary), "Content-Type");
  const auto size = fileManager_.fileSizeAtPath(path);
  if (!size) {
    log("Could not determine size of multipart mime file");
    return false;
  }
  request.setValue(std::to_string(*size), "Content-Length");
  return true;
}

bool VRDReportsController::submitPackageMultipartMimeAtPath(const std::string& path, bool synchronously) {
  const bool debug = ZIZIsDebugEnabled();
  if (debug) log(std::string("Submitting ") + (synchronously ? "sync" : "async") + " " + path);
  if (fileManager_.fileSizeAtPath(path).value_or(0) == 0) {
    if (debug) log("Already-submitted report being ignored");
    return false;
  }
  if (networkClient_ == nullptr) return false;
  const double timeout = synchronously && !networkClient_->supportsBackgroundRequests() ? 2.0 : 10.0;
  const auto url = reportURL();
  if (!url) {
    log("Could not make the reports address of the endpoint '" + settings().reportsEndpoint() + "'");
    return false;
  }
  URLRequest request = mutableRequestWithURL(*url, timeout);
  request.setHTTPMethod("POST");
  if (!fillInRequestForMultipartMimeDataAtPath(request, path)) return false;
  networkClient_->startUploadRequest(request, path, synchronously);
  return true;
}

}  // namespace crashreporting
