#include "crashreporting/Reports/VRDReportsController.h"

#include <time.h>

#include <filesystem>

#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/VRDApplication.h"
#include "crashreporting/Reports/VRDDamage.h"
#include "crashreporting/Reports/VRDPackageReportOperation.h"
#include "crashreporting/Reports/VRDProcessReportOperation.h"
#include "crashreporting/Reports/VRDSymbolResolver.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {

namespace {

void log(const std::string& text) { SystemLog::write("[Vuveradarad:Crash:Reports] " + text); }

bool debug() { return Zizozu::sharedSDK().debug(); }

std::string describeNames(const std::vector<std::string>& paths) {
  std::string names;
  for (const auto& path : paths) names += (names.empty() ? "" : ", ") + std::filesystem::path(path).filename().string();
  return names;
}

}  // namespace

bool VRDReportsController::prepareAndSubmitReport(VRDInternalReport& report, bool urgent, bool processing) {
  bool result = false;
  VRDApplicationActivity(VRDActivitySuddenTerminationDisabled | VRDActivityAutomaticTerminationDisabled,
                         "Vuveradarad Crash Report Processing",
                         [&] { result = runPipeline(report, urgent, processing); });
  return result;
}

bool VRDReportsController::runPipeline(VRDInternalReport& report, bool urgent, bool processing) {
  // One process works on a report folder at a time; it gives the folder up once it is packaged (and gone) or
  // left for a later start.
  const FileClaims claims = fileManager_.claims();
  const std::string name = report.directoryName();
  if (!claims.claim(name)) {
    if (debug()) log("Report '" + report.identifier() + "' is handled by another process");
    return false;
  }
  struct Release {
    const FileClaims& claims;
    const std::string& name;
    ~Release() { claims.release(name); }
  } release{claims, name};
  std::error_code missing;
  if (!std::filesystem::exists(report.path(), missing)) return false;  // taken and sent meanwhile
  if (processing) {
    const std::string processingPath =
        (std::filesystem::path(fileManager_.processingPath()) / report.directoryName()).string();
    // A report already in processing (its processing was cut short) is symbolicated again where it lies.
    if (report.path() != processingPath &&
        !fileManager_.moveItemAtPath(report.path(), fileManager_.processingPath())) {
      log("Unable to move report for processing");
      return false;
    }
    report.setPath(processingPath);
    if (!setAsideDamagedRecords(report)) return false;
    VRDSymbolResolver resolver;
    const auto process = std::make_shared<VRDProcessReportOperation>(report, resolver);
    process->start();
    if (const auto& unreadable = process->unreadableNow()) {
      log("'" + *unreadable + "' of report '" + report.identifier() +
          "' cannot be opened now: the report is kept in processing for a later attempt");
      return false;
    }
    if (!process->unwritten().empty()) {
      // Packaged now it would go without its symbols for good; kept, the next launch symbolicates it again.
      log("Could not write the symbolicated copy of " + describeNames(process->unwritten()) + " of report '" +
          report.identifier() + "' (is the disk full?): the report is kept in processing for the next launch");
      return false;
    }
  } else if (!setAsideDamagedRecords(report)) {
    return false;
  }
  if (!packagingEnabled()) {
    log("Report packaging disabled");
    return false;
  }
  auto package = std::make_shared<VRDPackageReportOperation>(report, fileManager_);
  package->start();
  if (!package->finalPath()) {
    if (!package->leftForLater()) log("Unable to package report");
    return false;
  }
  // Out of the listing in one step: a folder half removed would be packaged again from what is left.
  if (!fileManager_.discardItemAtPath(report.path())) log("Unable to remove a processing item");
  log("Packaged report with id '" + report.identifier() + "' for submission");
  return uploadPackagedReportAtPath(*package->finalPath(), urgent);
}

bool VRDReportsController::setAsideDamagedRecords(const VRDInternalReport& report) {
  std::optional<std::string> notNow;
  report.enumerateSymbolicatableFilesInContent([&](const std::string& path) {
    if (notNow) return;
    const VRDFileCheck check = VRDRecordDamage(path);
    if (check.notNow) {
      notNow = check.notNow;
      log("Record '" + std::filesystem::path(path).filename().string() + "' of report '" + report.identifier() +
          "': " + *check.notNow + "; the report is left for a later attempt");
    } else if (check.damage) {
      setAside(path, report.identifier() + "-" + std::filesystem::path(path).filename().string(), "record",
               *check.damage);
    } else if (const auto incomplete = VRDRecordIncompleteness(path)) {
      // Still a record: what it holds goes with the report (its whole lines, and whole threads of a torn one, are
      // symbolicated), and whoever reads the report learns why the crash is missing or short.
      log("Damaged record '" + std::filesystem::path(path).filename().string() + "' of report '" +
          report.identifier() + "': " + *incomplete + "; sent with what it holds");
    }
  });
  return !notNow;
}

void VRDReportsController::setAside(const std::string& path, const std::string& name, const char* kind,
                                    const std::string& damage) {
  const auto kept = fileManager_.setAsideItemAtPath(path, name);
  log(std::string("Damaged ") + kind + " '" + path + "': " + damage + "; " +
      (kept ? "kept aside as '" + *kept + "'" : std::string("left where it is")) + ", not sent");
}

bool VRDReportsController::uploadPackagedReportAtPath(const std::string& path, bool urgent) {
  if (!submissionEnabled()) {
    log("Submission disabled");
    return false;
  }
  // Held until the package is gone (sent) or this process ends: a package whose upload failed is tried again by
  // its holder, and by whoever starts next once the holder is gone.
  const std::string name = std::filesystem::path(path).filename().string();
  if (!fileManager_.claims().claim(name)) {
    if (debug()) log("Package '" + name + "' is being sent by another process");
    return false;
  }
  // An empty or missing package was submitted already; anything else (a folder in its place too) must be whole to go.
  std::error_code sizeError;
  const bool present = std::filesystem::exists(std::filesystem::symlink_status(path, sizeError));
  if (present && (std::filesystem::file_size(path, sizeError) != 0 || sizeError)) {
    const VRDFileCheck check = VRDPackageDamage(path);
    if (check.notNow) log("Package '" + name + "': " + *check.notNow + "; left for a later attempt");
    if (check.damage) setAside(path, name, "package", *check.damage);
    if (check.notNow || check.damage) {
      fileManager_.claims().release(name);
      return false;
    }
  }
  if (debug()) log(std::string("Submitting report") + (urgent ? " as urgent" : ""));
  {
    // Noted before it starts: an upload may end before the call returns.
    const std::lock_guard lock(submissionsMutex_);
    submissions_.insert(path);
  }
  const bool started = uploader_ != nullptr ? uploader_->submitPackageMultipartMimeAtPath(path, urgent)
                                            : submitPackageMultipartMimeAtPath(path, urgent);
  if (!started) {
    const std::lock_guard lock(submissionsMutex_);
    submissions_.erase(path);
  }
  return started;
}

bool VRDReportsController::cleanUpSubmittedReportAtPath(const std::string& path) {
  if (fileManager_.removeItemAtPath(path)) {
    fileManager_.claims().releaseItem(path);
    return true;
  }
  log("Unable to remove packaged submission");
  return false;
}

void VRDReportsController::reportUploadAtPath(const std::string& path,
                                                                const std::optional<Error>& error) {
  if (debug()) log("completed submission of " + path);
  if (!error) cleanUpSubmittedReportAtPath(path);
  bool allDone = false;
  {
    const std::lock_guard lock(submissionsMutex_);
    allDone = submissions_.erase(path) != 0 && submissions_.empty();
  }
  delegate_.reportsControllerDidCompletePackageSubmission(*this, path, error);
  if (allDone) delegate_.reportsControllerDidCompleteAllSubmissions(*this);
}

std::uint64_t VRDProfileMark() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(now.tv_nsec);
}

double VRDProfileMillisecondsSinceMark(std::uint64_t mark) {
  return static_cast<double>(VRDProfileMark() - mark) / 1000000.0;
}

}  // namespace crashreporting
