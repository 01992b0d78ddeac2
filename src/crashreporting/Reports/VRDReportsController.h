#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/Reports/VRDSettings.h"
#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/URLRequest.h"

// The pipeline from a report folder to an upload: move it into processing, symbolicate its crash records,
// package it into prepared, remove the folder, hand the package to the upload. Runs synchronously on the
// caller's thread, inside a process activity.

namespace crashreporting {

class VRDReportsController;
class VRDNetworkClient;

class VRDReportsControllerDelegate {
 public:
  virtual ~VRDReportsControllerDelegate() = default;
  virtual VRDSettings settingsForReportsController(VRDReportsController& controller) = 0;
  virtual std::optional<std::string> bundleIdentifierForReportsController(VRDReportsController& controller) = 0;
  virtual std::optional<std::string> APIKeyForReportsController(VRDReportsController& controller) = 0;
  virtual void reportsControllerDidCompletePackageSubmission(VRDReportsController& controller,
                                                             const std::string& path,
                                                             const std::optional<Error>& error) = 0;
  /// Every upload this controller started has ended (with or without error); none is under way.
  virtual void reportsControllerDidCompleteAllSubmissions(VRDReportsController& controller) = 0;
};

/// What takes a package in place of the controller's own submission (tests, tools).
class VRDPackageUploader {
 public:
  virtual ~VRDPackageUploader() = default;
  /// Starts the upload of the package at `path`; synchronously asks for an immediate one.
  virtual bool submitPackageMultipartMimeAtPath(const std::string& path, bool synchronously) = 0;
};

class VRDReportsController {
 public:
  /// The delegate, uploader and store must outlive the controller.
  VRDReportsController(VRDReportsControllerDelegate& delegate, VRDPackageUploader* networkClient,
                       VRDFileManager& fileManager)
      : delegate_(delegate), uploader_(networkClient), fileManager_(fileManager) {}
  /// Packages are submitted by the controller itself, as requests that `networkClient` uploads.
  VRDReportsController(VRDReportsControllerDelegate& delegate, VRDNetworkClient& networkClient,
                       VRDFileManager& fileManager)
      : delegate_(delegate), networkClient_(&networkClient), fileManager_(fileManager) {}

  /// The whole pipeline; true when the package was handed to the upload and the upload started. With
  /// `processing`, the report is first moved into processing and symbolicated there (its path follows it); one
  /// already in processing is symbolicated again where it lies. A symbolicated copy that cannot be written whole
  /// leaves the report in processing, unpackaged. Crash records that are no records are set aside first.
  bool prepareAndSubmitReport(VRDInternalReport& report, bool urgent, bool processing);
  /// Hands the package to the upload, unless submission is off or the package is damaged (then it is set aside
  /// with a log line and never sent).
  bool uploadPackagedReportAtPath(const std::string& path, bool urgent);
  /// Builds the upload request of the package and hands it to the network client; false when the package is
  /// empty or gone (already submitted), its size is unknown, or there is no client or no address.
  bool submitPackageMultipartMimeAtPath(const std::string& path, bool synchronously);
  /// <reports endpoint>/sdk-api/v1/platforms/mac/apps/<bundle identifier>/reports; none when not a URL.
  std::optional<std::string> reportURL();
  /// A request with the kit's header fields in their order and the API key.
  URLRequest mutableRequestWithURL(const std::string& url, double timeout);
  /// Sets the multipart Content-Type (the boundary is the package's name without its extension) and the
  /// Content-Length of the file; false when its size is unknown.
  bool fillInRequestForMultipartMimeDataAtPath(URLRequest& request, const std::string& path);
  bool cleanUpSubmittedReportAtPath(const std::string& path);
  void reportUploadAtPath(const std::string& path, const std::optional<Error>& error);

  VRDSettings settings() { return delegate_.settingsForReportsController(*this); }
  std::optional<std::string> appBundleIdentifier() { return delegate_.bundleIdentifierForReportsController(*this); }
  std::optional<std::string> APIKey() { return delegate_.APIKeyForReportsController(*this); }
  bool submissionEnabled() { return settings().shouldSubmitReports(); }
  bool packagingEnabled() { return settings().shouldPackageReports(); }

 private:
  bool runPipeline(VRDInternalReport& report, bool urgent, bool processing);
  /// Crash records that are no records go aside (logged), so the rest of the report is sent without them; an
  /// empty or torn one is logged with the report's identifier and sent. False (said once) when a record cannot be
  /// read now for a passing reason: the report is left where it is for a later attempt.
  bool setAsideDamagedRecords(const VRDInternalReport& report);
  void setAside(const std::string& path, const std::string& name, const char* kind, const std::string& damage);

  VRDReportsControllerDelegate& delegate_;
  /// The packages whose upload was started and has not ended.
  std::mutex submissionsMutex_;
  std::set<std::string> submissions_;
  VRDPackageUploader* uploader_ = nullptr;
  VRDNetworkClient* networkClient_ = nullptr;
  VRDFileManager& fileManager_;
};

/// A mark on the monotonic clock, and the milliseconds since one.
std::uint64_t VRDProfileMark();
double VRDProfileMillisecondsSinceMark(std::uint64_t mark);

}  // namespace crashreporting
