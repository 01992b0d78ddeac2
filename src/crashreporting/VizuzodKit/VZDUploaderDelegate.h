#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "crashreporting/Kit/VRDURLSessionDelegate.h"
#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

class VZDUploader;

/// What the uploader asks of its owner (the analytics controller). Every call comes on the uploader's queue.
class VZDUploaderDelegate {
 public:
  /// The answer to a finished task: send it again (after the back-off the delegate waited), and the error.
  using CompletionHandler = std::function<void(bool retry, const std::optional<Error>& error)>;

  virtual ~VZDUploaderDelegate() = default;

  /// The file that holds the upload of `uniqueName` (to send it again); empty when there is none.
  virtual std::filesystem::path uploaderFilePathForUniqueName(VZDUploader& uploader,
                                                              const std::string& uniqueName) = 0;
  /// A task ended (reply or transport error); the delegate answers through `completionHandler`, at once or
  /// later from any thread.
  virtual void uploaderCompletedRequest(VZDUploader& uploader, const URLRequest& request,
                                        const std::optional<URLResponse>& response, const std::string& uniqueName,
                                        const std::optional<Error>& error, CompletionHandler completionHandler) = 0;
  /// The upload of `uniqueName` is over: sent (no error), given up, or never started (−2, −8).
  virtual void uploaderDidFinishUploadWithUniqueName(VZDUploader& uploader, const std::string& uniqueName,
                                                     const std::optional<Error>& error) = 0;
  /// How to judge the server's certificate; by default the system's store.
  virtual void uploaderSessionDidReceiveChallenge(VZDUploader&, VRDURLSession&, const URLAuthenticationChallenge&,
                                                  const VRDURLSessionDelegate::ChallengeCompletion& completion) {
    completion(URLSessionAuthChallengeDisposition::performDefaultHandling, std::nullopt);
  }
};

}  // namespace crashreporting
