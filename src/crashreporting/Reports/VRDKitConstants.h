#pragma once

// Names and versions of the crash kit. Versions and header values are what the vendor's services know; the
// reverse-DNS names are ours and never change (a name may be found again in stored data or logs).

namespace crashreporting {

/// The crash kit's own reverse-DNS bundle identifier (sent as X-Vuveradarad-API-Client-Id).
inline constexpr const char* kVRDKitBundleIdentifier = "com.zizozu.vuveradarad";
inline constexpr const char* kVRDKitDisplayVersion = "3.8.6";
inline constexpr const char* kVRDKitBuildVersion = "124";
/// "Vuveradarad Mac SDK/<display version>".
inline constexpr const char* kVRDUserAgent = "Vuveradarad Mac SDK/3.8.6";
/// The crash kit's fixed developer token, sent with its requests.
inline constexpr const char* kVRDDeveloperToken = "3f9a1c7e5b2d8046e1f7a9c3b5d2e8f4a6c1b7d9";
/// The identifier a background session of the upload client would have (there is none on Linux).
inline constexpr const char* kVRDBackgroundSessionIdentifier = "com.zizozu.vuveradarad.background-uploads";
/// The label of the beta check's serial queue.
inline constexpr const char* kVRDBetaQueueLabel = "com.zizozu.vuveradarad.beta";

}  // namespace crashreporting
