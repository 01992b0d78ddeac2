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

namespace {

// The report's own files with the limits this run's context holds for that store.
VRDUserLoggingKVStorage storageFor(const std::string& incremental, const std::string& compacted,
                                   VRDUserLoggingKVStorage VRDUserLoggingContext::*store) {
  VRDUserLoggingKVStorage storage{incremental.c_str(), compacted.c_str(), 0, 0};
  if (const VRDReadOnlyContext* context = VRDContextReadOnly()) {
    storage.compactionThreshold = (context->logging.*store).compactionThreshold;
    storage.maximumCount = (context->logging.*store).maximumCount;
  }
  return storage;
}

}  // namespace

VRDUserLoggingKVStorage VRDReport::internalKVStorage() const {
  return storageFor(internalIncrementalKVFile_, internalCompactedKVFile_, &VRDUserLoggingContext::internalKVStorage);
}

VRDUserLoggingKVStorage VRDReport::userKVStorage() const {
  return storageFor(userIncrementalKVFile_, userCompactedKVFile_, &VRDUserLoggingContext::userKVStorage);
}

bool VRDReport::canRecordNewValues() const { return !readOnly_ && VRDContextIsInitialized(); }

void VRDReport::recordValue(const Value* value, const char* key) {
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
  if (!text) return recordValue(nullptr, key);
  const Value value(*text);
  recordValue(&value, key);
}

void VRDReport::setUserIdentifier(const std::optional<std::string>& identifier) {
  recordInternal(VRDInternalKeyUserIdentifier, identifier);
}
void VRDReport::setUserName(const std::optional<std::string>& name) { recordInternal(VRDInternalKeyUserName, name); }
void VRDReport::setUserEmail(const std::optional<std::string>& email) {
  recordInternal(VRDInternalKeyUserEmail, email);
}

}  // namespace crashreporting
