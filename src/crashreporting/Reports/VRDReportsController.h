#pragma once

#include <memory>
#include <optional>
#include <string>

#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/Reports/VRDSettings.h"
#include "crashreporting/platform/Error.h"

// The pipeline from a report folder to an upload: move it into processing, symbolicate its crash records,
// package it into prepared, remove the folder, hand the package to the upload. Runs synchronously on the
// caller's thread, inside a process activity.

namespace crashreporting {

class VRDReportsController;

class VRDReportsControllerDelegate {
 public:
  virtual ~VRDReportsControllerDelegate() = default;
  virtual VRDSettings settingsForReportsController(VRDReportsController& controller) = 0;
  virtual std::optional<std::string> bundleIdentifierForReportsController(VRDReportsController& controller) = 0;
  virtual std::optional<std::string> APIKeyForReportsController(VRDReportsController& controller) = 0;
  virtual void reportsControllerDidCompletePackageSubmission(VRDReportsController& controller,
                                                             const std::string& path,
                                                             const std::optional<Error>& error) = 0;
};

/// What uploads a package (the report upload client).
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
      : delegate_(delegate), networkClient_(networkClient), fileManager_(fileManager) {}

  /// The whole pipeline; true when the package was handed to the upload and the upload started. With
  /// `processing`, the report is first moved into processing and symbolicated there (its path follows it); one
  /// already in processing is symbolicated again where it lies.
  bool prepareAndSubmitReport(VRDInternalReport& report, bool urgent, bool processing);
  bool uploadPackagedReportAtPath(const std::string& path, bool urgent);
  bool cleanUpSubmittedReportAtPath(const std::string& path);
  void reportUploadAtPathCompletedWithError(const std::string& path, const std::optional<Error>& error);

  VRDSettings settings() { return delegate_.settingsForReportsController(*this); }
  std::optional<std::string> appBundleIdentifier() { return delegate_.bundleIdentifierForReportsController(*this); }
  std::optional<std::string> APIKey() { return delegate_.APIKeyForReportsController(*this); }
  bool submissionEnabled() { return settings().shouldSubmitReports(); }
  bool packagingEnabled() { return settings().shouldPackageReports(); }

 private:
  bool runPipeline(VRDInternalReport& report, bool urgent, bool processing);

  VRDReportsControllerDelegate& delegate_;
  VRDPackageUploader* networkClient_;
  VRDFileManager& fileManager_;
};

/// A mark on the monotonic clock, and the milliseconds since one.
std::uint64_t VRDProfileMark();
double VRDProfileMillisecondsSinceMark(std::uint64_t mark);

}  // namespace crashreporting
