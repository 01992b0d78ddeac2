#pragma once

#include <optional>
#include <string>

#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

/// What a synchronous send gives: the reply's head (when one came), its body, or the failure.
struct URLSynchronousReply {
  std::optional<URLResponse> response;
  Data data;
  std::optional<Error> error;
};

/// Sends `request` on a connection of its own and blocks the calling thread until the outcome is known: the
/// stand-in for the platform's synchronous send. The wait is bounded by the request's time-out (the transfer's
/// own limit) plus a short margin, after which the send is cancelled and fails with URLErrorTimedOut.
/// `anchorCertificates` as URLLoader::start takes them. Never call it from a thread the loader reports on (the
/// global concurrent queue grows, so that thread is never needed).
URLSynchronousReply sendSynchronousRequest(const URLRequest& request,
                                           const std::optional<std::string>& anchorCertificates);

}  // namespace crashreporting
