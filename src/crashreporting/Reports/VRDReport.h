#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/platform/Value.h"

// The report the application's delegate sees: a cached, read-through view of an internal report with its
// custom keys, and setters that add keys to that report's folder. A report whose values were read ahead is
// read-only. One thread at a time.

namespace crashreporting {

/// The internal keys under which the user's identity is kept.
inline constexpr const char* VRDInternalKeyUserIdentifier = "com.zizozu.user.id";
inline constexpr const char* VRDInternalKeyUserName = "com.zizozu.user.name";
inline constexpr const char* VRDInternalKeyUserEmail = "com.zizozu.user.email";

class VRDReport {
 public:
  explicit VRDReport(VRDInternalReport internalReport, bool prefetchData = false);
  VRDReport(const VRDReport&) = delete;
  VRDReport& operator=(const VRDReport&) = delete;

  const VRDInternalReport& internalReport() const { return internalReport_; }
  bool readOnly() const { return readOnly_; }

  const std::string& identifier() const { return internalReport_.identifier(); }
  const std::optional<std::string>& bundleVersion();
  const std::optional<std::string>& bundleShortVersionString();
  const std::optional<std::string>& OSVersion();
  const std::optional<std::string>& OSBuildVersion();
  const std::optional<VRDDate>& dateCreated();
  const std::optional<VRDDate>& crashedOnDate();
  bool isCrash();
  /// The report's custom pairs, values decoded.
  const Dictionary& customKeys();

  /// The key/value files of the report folder with the limits of this run's context.
  VRDUserLoggingKVStorage internalKVStorage() const;
  VRDUserLoggingKVStorage userKVStorage() const;
  /// False when read ahead or before the crash context exists.
  bool canRecordNewValues() const;
  void recordValue(const Value* value, const char* key);
  void recordValueForUserKey(const Value* value, const char* key);
  void setObjectValue(const Value* value, const char* key) { recordValueForUserKey(value, key); }
  void setUserIdentifier(const std::optional<std::string>& identifier);
  void setUserName(const std::optional<std::string>& name);
  void setUserEmail(const std::optional<std::string>& email);
  /// Written into the report, not kept: always none.
  std::optional<std::string> userIdentifier() const { return std::nullopt; }
  std::optional<std::string> userName() const { return std::nullopt; }
  std::optional<std::string> userEmail() const { return std::nullopt; }

 private:
  void recordInternal(const char* key, const std::optional<std::string>& text);

  VRDInternalReport internalReport_;
  std::uint32_t internalKVCounter_ = 0;
  std::uint32_t userKVCounter_ = 0;
  std::string internalCompactedKVFile_;
  std::string internalIncrementalKVFile_;
  std::string userCompactedKVFile_;
  std::string userIncrementalKVFile_;
  bool readOnly_;
  std::optional<std::optional<std::string>> bundleVersion_, bundleShortVersionString_, OSVersion_, OSBuildVersion_;
  std::optional<std::optional<VRDDate>> dateCreated_, crashedOnDate_;
  std::optional<bool> isCrash_;
  std::optional<Dictionary> customKeys_;
};

}  // namespace crashreporting
