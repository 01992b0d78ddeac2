#include "crashreporting/Kit/ZIZOnboardingOperation.h"

#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Kit/ZIZMultipartMimeStreamEncoder.h"
#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"
#include "crashreporting/Kit/ZIZURLBuilder.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

Value valueOf(const std::optional<std::string>& text) { return text ? Value(*text) : Value(); }

}  // namespace

ZIZOnboardingOperation::ZIZOnboardingOperation(std::weak_ptr<ZIZOnboardingOperationDelegate> delegate,
                                               bool shouldCreate, std::string APIKey,
                                               std::map<std::string, std::string> kitVersionsByKitBundleIdentifier,
                                               std::optional<ZIZApplicationIdentiferModel> appIdentifierModel,
                                               std::string endpointString,
                                               std::weak_ptr<ZIZNetworkClient> networkClient)
    : ZIZNetworkOperation(std::move(APIKey)),
      delegate_(std::move(delegate)),
      shouldCreate_(shouldCreate),
      kitVersionsByKitBundleIdentifier_(std::move(kitVersionsByKitBundleIdentifier)),
      appIdentifierModel_(std::move(appIdentifierModel)),
      appEndpoint_(std::move(endpointString)),
      networkClient_(std::move(networkClient)) {}

std::string ZIZOnboardingOperation::appCreateURL() const {
  ZIZURLBuilder builder = ZIZURLBuilder::URLWithBase(appEndpoint_);
  builder.appendComponent("/spi/v1/platforms/");
  builder.escapeAndAppendComponent(ZIZPlatform);
  builder.appendComponent("/apps");
  return builder.URLString();
}

std::string ZIZOnboardingOperation::appUpdateURL() const {
  ZIZURLBuilder builder = ZIZURLBuilder::URLWithBase(appEndpoint_);
  builder.appendComponent("/spi/v1/platforms/");
  builder.escapeAndAppendComponent(ZIZPlatform);
  builder.appendComponent("/apps/");
  builder.escapeAndAppendComponent(ZIZApplicationGetBundleIdentifier().value_or(""));
  return builder.URLString();
}

std::optional<Error> ZIZOnboardingOperation::error() const {
  const std::lock_guard lock(errorMutex_);
  return error_;
}

std::optional<URLRequest> ZIZOnboardingOperation::onboardingRequestForAppCreate(bool create) const {
  MemoryOutputStream stream;
  ZIZMultipartMimeStreamEncoder encoder(stream, ZIZMultipartMimeStreamEncoder::generateBoundary());
  const auto* model = appIdentifierModel_ ? &*appIdentifierModel_ : nullptr;
  encoder.encode([&](ZIZMultipartMimeStreamEncoder& parts) {
    parts.addValue(valueOf(ZIZApplicationGetBundleIdentifier()), "app[identifier]");
    parts.addValue(model ? Value(model->instanceIdentifier()) : Value(), "app[instance_identifier]");
    parts.addValue(valueOf(ZIZApplicationGetName()), "app[name]");
    parts.addValue(valueOf(ZIZApplicationGetBuildVersion()), "app[build_version]");
    parts.addValue(valueOf(ZIZApplicationGetDisplayVersion()), "app[display_version]");
    parts.addValue(Value(ZIZApplicationGetInstallSource()), "app[source]");
    parts.addValue(model ? Value(model->minimumSDKString()) : Value(), "app[minimum_sdk_version]");
    parts.addValue(model ? Value(model->builtSDKString()) : Value(), "app[built_sdk_version]");
    for (const auto& [kit, version] : kitVersionsByKitBundleIdentifier_)
      parts.addValue(Value(version), "app[build][libraries][" + kit + "]");
    if (model) {
      for (const auto& [architecture, uuid] : model->architectureUUIDMap()) {
        parts.addValue(Value(architecture), "app[slices][][arch]");
        parts.addValue(Value(uuid), "app[slices][][uuid]");
      }
    }
    const ZIZIcon* icon = model && model->icon() ? &*model->icon() : nullptr;
    if (icon && !icon->data().empty() && !icon->dataHash().empty()) {
      parts.addValue(Value(icon->dataHash()), "app[icon][hash]");
      parts.addValue(Value(icon->prerendered() ? "true" : "false"), "app[icon][prerendered]");
      // Truncated to whole points, as the service reads them.
      const auto whole = [](double points) {
        return points >= 0 && points < 18446744073709551616.0 ? static_cast<std::uint64_t>(points) : 0;
      };
      parts.addValue(Value(std::to_string(whole(icon->size().width))), "app[icon][width]");
      parts.addValue(Value(std::to_string(whole(icon->size().height))), "app[icon][height]");
      parts.addFileData(icon->data(), "icon.png", "image/png", "app[icon][data]");
    }
  });
  if (encoder.failed()) return std::nullopt;
  URLRequest request = mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(create ? appCreateURL()
                                                                                        : appUpdateURL());
  request.setHTTPMethod(create ? "POST" : "PUT");
  request.setValue(encoder.contentTypeHTTPHeaderValue(), "Content-Type");
  request.setValue(encoder.contentLengthHTTPHeaderValue(), "Content-Length");
  request.setHTTPBody(stream.data());
  return request;
}

void ZIZOnboardingOperation::main() { beginAppConfigure(); }

void ZIZOnboardingOperation::beginAppConfigure() {
  const auto request = onboardingRequestForAppCreate(shouldCreate_);
  if (!request) {
    SystemLog::write("[Zizozu] configure failed during onboarding");
    Error failed{kZIZSDKOnboardingErrorDomain, 0, {}, {}};
    failed.userInfo.emplace(kLocalizedDescriptionKey, Value("Multipart mime encoder was nil"));
    report(failed);
    return;
  }
  const auto client = networkClient_.lock();
  if (!client) {
    report(ZIZNetworkResponseHandler::errorForCode(ZIZNetworkErrorNoTask));
    return;
  }
  const auto self = std::static_pointer_cast<ZIZOnboardingOperation>(shared_from_this());
  client->startDataTaskWithRequest(*request, shouldCreate_ ? 10 : 1,
                                   [self](std::optional<Data>, std::optional<URLResponse>,
                                          std::optional<Error> error) { self->report(error); });
}

void ZIZOnboardingOperation::report(const std::optional<Error>& error) {
  {
    const std::lock_guard lock(errorMutex_);
    error_ = error;
  }
  if (const auto delegate = delegate_.lock()) {
    if (shouldCreate_) {
      delegate->onboardingOperationDidCompleteAppCreationWithError(*this, error);
    } else {
      delegate->onboardingOperationDidCompleteAppUpdateWithError(*this, error);
    }
  }
  finishWithError(error);
}

}  // namespace crashreporting
