#include "Shell/MenuBar/NotificationPopover.h"

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "platform/net/WebURL.h"

namespace tilvane {

void RemoteNotificationViewController::openDetail() {
  if (!net::isWebURL(url_))
    LogManager::warning("announcement link not opened: \"" + url_ + "\" is not an http or https address");
  else if (openURL_)
    openURL_(url_);
  AppBridge::remoteNotificationDetail().onNext(rx::Unit{});
}

void RemoteNotificationViewController::close() { AppBridge::remoteNotificationDetail().onNext(rx::Unit{}); }

NotificationPopover::NotificationPopover(std::unique_ptr<NotificationPopoverView> view,
                                         std::function<bool(const std::string&)> openURL)
    : content_(std::move(openURL)), view_(std::move(view)) {
  if (view_) view_->setActions([this] { content_.openDetail(); }, [this] { content_.close(); });
}

void NotificationPopover::setContent(const std::string& title, const std::string& url) {
  content_.setTitle(title);
  content_.setURL(url);
  if (view_) view_->setTitle(title);
}

void NotificationPopover::show() {
  shown_ = true;
  if (view_) view_->show();
}

void NotificationPopover::close() {
  shown_ = false;
  if (view_) view_->close();
}

}  // namespace tilvane
