#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

class Zizozu;

/// What may head an events log file: the "metadata" line's payload for a start time.
class VZDMetadataSerializable {
 public:
  virtual ~VZDMetadataSerializable() = default;
  virtual std::string eventName() const { return "metadata"; }
  /// None when there is nothing to write.
  virtual std::optional<Dictionary> dictionaryRepresentationWithStartTime(std::uint64_t startSeconds) const = 0;
};

/// This run's session metadata, taken once from the kit framework and the host.
class VZDMetadata : public VZDMetadataSerializable {
 public:
  VZDMetadata(Zizozu& zizozu, const std::optional<std::string>& rawBetaToken);

  /// The token of a "2:<token>" text; none for anything else.
  static std::optional<std::string> unwrapBetaToken(const std::optional<std::string>& raw);
  static std::optional<std::string> identifierForAdvertising() { return std::nullopt; }

  std::optional<Dictionary> dictionaryRepresentationWithStartTime(std::uint64_t startSeconds) const override;

  const std::optional<std::string>& betaToken() const { return betaToken_; }
  const std::string& installationId() const { return installationId_; }
  const std::optional<std::string>& APIKey() const { return apiKey_; }

 private:
  std::uint32_t numberOfCores_;
  std::optional<std::string> apiKey_;
  std::optional<std::string> betaToken_;
  std::optional<std::string> buildVersion_;
  std::optional<std::string> bundleIdentifier_;
  std::optional<std::string> displayVersion_;
  std::string executionIdentifier_;
  std::optional<std::string> hostModel_;
  std::string installationId_;
  std::optional<std::string> instanceIdentifier_;
  std::string locale_;
  std::optional<std::string> osBuildVersion_;
  std::string osDisplayVersion_;
};

}  // namespace crashreporting
