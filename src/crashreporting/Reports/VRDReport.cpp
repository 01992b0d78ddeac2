#include "crashreporting/Reports/VRDReport.h"

#include "crashreporting/Capture/VRDUserLogging.h"

namespace crashreporting {

namespace {

template <class T, class Fetch>
const T& cached(std::optional<T>& slot, Fetch fetch) {
  if (!slot) slot = fetch();
  return *slot;
}

}  // namespace

VRDReport::VRDReport(VRDInternalReport internalReport, bool prefetchData)
    : internalReport_(std::move(internalReport)),
      internalCompactedKVFile_(internalReport_.pathForContentFile("internal_compacted_kv.vrdrecord")),
      internalIncrementalKVFile_(internalReport_.pathForContentFile("internal_incremental_kv.vrdrecord")),
      userCompactedKVFile_(internalReport_.pathForContentFile("user_compacted_kv.vrdrecord")),
      userIncrementalKVFile_(internalReport_.pathForContentFile("user_incremental_kv.vrdrecord")),
      readOnly_(prefetchData) {
  if (!prefetchData) return;
  bundleVersion();
  bundleShortVersionString();
  dateCreated();
  crashedOnDate();
  OSVersion();
  OSBuildVersion();
  isCrash();
  customKeys();
}

const std::optional<std::string>& VRDReport::bundleVersion() {
  return cached(bundleVersion_, [&] { return internalReport_.bundleVersion(); });
}
const std::optional<std::string>& VRDReport::bundleShortVersionString() {
  return cached(bundleShortVersionString_, [&] { return internalReport_.bundleShortVersionString(); });
}
const std::optional<std::string>& VRDReport::OSVersion() {
  return cached(OSVersion_, [&] { return internalReport_.OSVersion(); });
}
const std::optional<std::string>& VRDReport::OSBuildVersion() {
  return cached(OSBuildVersion_, [&] { return internalReport_.OSBuildVersion(); });
}
const std::optional<VRDDate>& VRDReport::dateCreated() {
  return cached(dateCreated_, [&] { return internalReport_.dateCreated(); });
}
const std::optional<VRDDate>& VRDReport::crashedOnDate() {
  return cached(crashedOnDate_, [&] { return internalReport_.crashedOnDate(); });
}
bool VRDReport::isCrash() {
  return cached(isCrash_, [&] { return internalReport_.isCrash(); });
}
const Dictionary& VRDReport::customKeys() {
  return cached(customKeys_, [&] {
    return VRDUserLoggingReadKeyValues(userIncrementalKVFile_, userCompactedKVFile_, true);
  });
}

VRDUserLoggingKVStorage VRDReport::internalKVStorage() const {
  const VRDReadOnlyContext* context = VRDContextReadOnly();
  VRDUserLoggingKVStorage storage{internalIncrementalKVFile_.c_str(), internalCompactedKVFile_.c_str(), 0, 0};
  if (context != nullptr) {
    storage.compactionThreshold = context->logging.internalKVStorage.compactionThreshold;
    storage.maximumCount = context->logging.internalKVStorage.maximumCount;
  }
  return storage;
}

VRDUserLoggingKVStorage VRDReport::userKVStorage() const {
  const VRDReadOnlyContext* context = VRDContextReadOnly();
  VRDUserLoggingKVStorage storage{userIncrementalKVFile_.c_str(), userCompactedKVFile_.c_str(), 0, 0};
  if (context != nullptr) {
    storage.compactionThreshold = context->logging.userKVStorage.compactionThreshold;
    storage.maximumCount = context->logging.userKVStorage.maximumCount;
  }
  return storage;
}

bool VRDReport::canRecordNewValues() const { return !readOnly_ && VRDContextIsInitialized(); }

void VRDReport::recordValueForInternalKey(const Value* value, const char* key) {
  if (!canRecordNewValues()) return;
  const VRDUserLoggingKVStorage storage = internalKVStorage();
  VRDUserLoggingRecordKeyValue(key, value, &storage, &internalKVCounter_);
}

void VRDReport::recordValueForUserKey(const Value* value, const char* key) {
  if (!canRecordNewValues()) return;
  const VRDUserLoggingKVStorage storage = userKVStorage();
  VRDUserLoggingRecordKeyValue(key, value, &storage, &userKVCounter_);
  customKeys_.reset();
}

void VRDReport::recordInternal(const char* key, const std::optional<std::string>& text) {
  if (!text) return recordValueForInternalKey(nullptr, key);
  const Value value(*text);
  recordValueForInternalKey(&value, key);
}

void VRDReport::setUserIdentifier(const std::optional<std::string>& identifier) {
  recordInternal(VRDInternalKeyUserIdentifier, identifier);
}
void VRDReport::setUserName(const std::optional<std::string>& name) { recordInternal(VRDInternalKeyUserName, name); }
void VRDReport::setUserEmail(const std::optional<std::string>& email) {
  recordInternal(VRDInternalKeyUserEmail, email);
}

}  // namespace crashreporting
