// The crash-reporting controller's handling of earlier runs' reports: triage, the send prompt, resumption of
// processing and uploads, and the results of submissions.
#include <filesystem>

#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/VRDApplication.h"
#include "crashreporting/Reports/VRDCrashReportingController.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {

namespace {

void log(const std::string& text) { SystemLog::write("[Vuveradarad:Crash] " + text); }
void debugLog(const std::string& text) {
  if (Zizozu::sharedSDK().debug()) log(text);
}

}  // namespace

bool VRDCrashReportingController::needsToPrompt() {
  const PromptChoice choice = promptChoice_.load();
  if (choice == send || choice == alwaysSend) return false;
  return settings().userPromptEnabled();
}

bool VRDCrashReportingController::delegateNeedsToBeInformedOfReports() {
  return delegate_.reportingControllerMustInformDelegateOfReports(*this);
}

bool VRDCrashReportingController::canProcessUrgentReports() {
  return settings().canProcessUrgentReports() && !needsToPrompt() && !delegateNeedsToBeInformedOfReports();
}

void VRDCrashReportingController::processExistingReportPaths(const std::vector<std::string>& paths, bool urgent) {
  for (const std::string& path : paths) processExistingActiveReportPath(path, urgent);
}

void VRDCrashReportingController::processExistingActiveReportPath(const std::string& path, bool urgent) {
  // The claim goes with the report until it is packaged or removed.
  std::optional<VRDInternalReport> report = claimEarlierReport(path);
  if (!report) return;
  if (!report->needsToBeSubmitted()) {
    addOperation([this, path] { removeItemAndClaim(path); });
    return;
  }
  delegate_.reportingControllerInternalDidDetectReportForLastExecution(*this, *report);
  if (urgent && canProcessUrgentReports()) {
    reportsController()->prepareAndSubmitReport(*report, true, true);
    return;
  }
  // The application may call the handler more than once; only its first answer counts, so a report is never
  // processed twice.
  auto answered = std::make_shared<std::atomic<bool>>(false);
  delegate_.reportingControllerDidDetectReportForLastExecution(
      *this, *report, [this, life = life_, report = *report, answered](bool submit) {
        if (answered->exchange(true)) return;
        ifAlive(life, [&] { handleDelegateCompletionForReport(report, submit); });
      });
}

std::optional<VRDInternalReport> VRDCrashReportingController::claimEarlierReport(const std::string& path) {
  // Another process sharing the store may be running in that folder, or be handling its report: left to it.
  const std::string name = std::filesystem::path(path).filename().string();
  if (!fileManager_.claims().claim(name)) {
    debugLog("The report at " + path + " is another process's");
    return std::nullopt;
  }
  std::error_code missing;
  std::optional<VRDInternalReport> report;
  if (std::filesystem::exists(path, missing)) report = VRDInternalReport::reportWithPath(path);
  if (!report) fileManager_.claims().release(name);  // handled and gone meanwhile
  return report;
}

void VRDCrashReportingController::handleDelegateCompletionForReport(const VRDInternalReport& report, bool submit) {
  addOperation([this, report, submit] {
    if (!submit) {
      debugLog("Removing report at request of delegate");
      removeReport(report);
    } else if (!needsToPrompt()) {
      prepareAndSubmitReport(report, false, true);
    } else {
      displayPermissionAlertForReport(report);
    }
  });
}

void VRDCrashReportingController::displayPermissionAlertForReport(const VRDInternalReport& report) {
  const std::shared_ptr<VRDSendPrompt> prompt = VRDSendPrompt::registered();
  if (VRDApplicationIsExtension() || !prompt) {
    // No alert can be shown: the report is sent without asking.
    if (!prompt && !promptMissingLogged_.exchange(true)) {
      log("No send prompt is registered by the application: reports are sent without asking");
    }
    addOperation([this, report] { prepareAndSubmitReport(report, false, true); });
    return;
  }
  const VRDSettings current = settings();
  VRDSendPromptAlert alert;
  alert.messageText = current.interactivePromptTitle();
  alert.informativeText = current.interactivePromptMessage();
  alert.buttons.push_back(current.interactivePromptSendTitle());
  if (const std::string always = current.interactivePromptAlwaysSendTitle(); !always.empty()) {
    alert.buttons.push_back(always);
  }
  alert.buttons.push_back(current.interactivePromptCancelTitle());
  debugLog("Displaying permission alert");
  onMainQueue([this, alert, report] { setupAndDisplayAlert(alert, report); });
}

void VRDCrashReportingController::setupAndDisplayAlert(const VRDSendPromptAlert& alert,
                                                       const VRDInternalReport& report) {
  // The choice is read when the alert would be shown: an answer given meanwhile applies to this report too.
  switch (promptChoice_.load()) {
    case send:
    case alwaysSend:
      return handlePromptCompleteForReport(report, true, false);
    case dontSend:
      return handlePromptCompleteForReport(report, false, false);
    case notAsked:
      break;
  }
  const std::shared_ptr<VRDSendPrompt> prompt = VRDSendPrompt::registered();
  if (!prompt) {
    // Unregistered meanwhile: sent without asking, as with none.
    addOperation([this, report] { prepareAndSubmitReport(report, false, true); });
    return;
  }
  const std::size_t last = alert.buttons.size() - 1;
  const std::size_t chosen = std::min(prompt->runModal(alert), last);
  const bool submit = chosen != last;
  const bool always = alert.buttons.size() == 3 && chosen == 1;
  handlePromptCompleteForReport(report, submit, always);
}

void VRDCrashReportingController::handlePromptCompleteForReport(const VRDInternalReport& report, bool submit,
                                                                bool markAlwaysSubmit) {
  addOperation([this, report, submit, markAlwaysSubmit] {
    if (!submit) {
      promptChoice_.store(dontSend);
      debugLog("Removing report at request of user");
      removeReport(report);
      return;
    }
    prepareAndSubmitReport(report, false, true);
    promptChoice_.store(markAlwaysSubmit ? alwaysSend : send);
  });
}

void VRDCrashReportingController::prepareAndSubmitReport(const VRDInternalReport& report, bool urgent,
                                                         bool processing) {
  VRDInternalReport copy = report;
  reportsController()->prepareAndSubmitReport(copy, urgent, processing);
}

void VRDCrashReportingController::removeReport(const VRDInternalReport& report) { removeItemAndClaim(report.path()); }

void VRDCrashReportingController::removeItemAndClaim(const std::string& path) {
  if (fileManager_.removeItemAtPath(path)) {
    fileManager_.claims().releaseItem(path);
  }
}

void VRDCrashReportingController::handleExistingFilesInProcessing(const std::vector<std::string>& entries) {
  if (entries.empty()) return;
  addOperation([this, entries] {
    for (const std::string& entry : entries) {
      // Symbolicated again where it lies: its processing was cut short (a kill, a full disk), so its copies
      // may be missing.
      if (auto report = claimEarlierReport(entry)) {
        reportsController()->prepareAndSubmitReport(*report, false, true);
      }
    }
  });
}

void VRDCrashReportingController::handleExistingFilesInPrepared(const std::vector<std::string>& entries) {
  if (entries.empty()) return;
  networkClient_->attemptToReconnectBackgroundSessionWithCompletionBlock([this, life = life_, entries] {
    ifAlive(life, [&] { addOperation([this, entries] { uploadPreexistingFiles(entries); }); });
  });
}

void VRDCrashReportingController::uploadPreexistingFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::error_code error;
    if (std::filesystem::exists(path, error)) reportsController()->uploadPackagedReportAtPath(path, false);
  }
}

void VRDCrashReportingController::networkClientDidFinishUploadWithPath(VRDNetworkClient&, const std::string& path,
                                                                       const std::optional<Error>& error) {
  reportsController()->reportUploadAtPath(path, error);
}

void VRDCrashReportingController::reportsControllerDidCompletePackageSubmission(VRDReportsController&,
                                                                                const std::string& path,
                                                                                const std::optional<Error>& error) {
  if (!error) {
    debugLog("report submission successful");
    return;
  }
  debugLog("report submission failed with error " + error->description());
  VRDLogWarn("Error: failed to submit report '%s'\n", error->description().c_str());
  retryUploadForReportAtPath(path);
}

void VRDCrashReportingController::reportsControllerDidCompleteAllSubmissions(VRDReportsController&) {
  addOperation([this] {
    {
      // A caller still at work in it keeps its own reference; the next use makes a new one.
      const std::lock_guard lock(mutex_);
      reportsController_.reset();
    }
    debugLog("report submission complete");
  });
}

void VRDCrashReportingController::retryUploadForReportAtPath(const std::string& path) {
  scheduler_(kUploadRetryDelay, [this, life = life_, path] {
    ifAlive(life, [&] {
      addOperation([this, path] {
        debugLog("re-attempting report submission");
        reportsController()->uploadPackagedReportAtPath(path, false);
      });
    });
  });
}

void VRDCrashReportingController::potentiallySubmittableCrashOccurred() noexcept {
  try {
    if (!canProcessUrgentReports()) return;
    VRDLogWarn("Attempting submission\n");
    attemptCurrentReportSubmission();
  } catch (...) {
    VRDLogError("Last effort exception\n");
  }
}

bool VRDCrashReportingController::attemptCurrentReportSubmission() {
  VRDLogInfo("Attempting to submit the current report\n");
  const std::vector<std::string> active = fileManager_.activePathContents();
  if (active.size() != 1) {
    VRDLogError("More than one directory in active - cannot submit\n");
    return false;
  }
  // A copy, so the crash capture can go on writing the original.
  const std::string copy = active[0] + "-submit";
  std::error_code error;
  std::filesystem::copy(active[0], copy, std::filesystem::copy_options::recursive, error);
  if (error) {
    VRDLogError("Error: unable to copy report for submission\n");
    return false;
  }
  std::optional<VRDInternalReport> report = VRDInternalReport::reportWithPath(copy);
  return report && reportsController()->prepareAndSubmitReport(*report, true, true);
}

}  // namespace crashreporting
