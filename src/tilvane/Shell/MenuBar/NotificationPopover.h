#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tilvane {

/// What draws the announcement popover: in the program a frameless 600 x 60 window under the tray icon (the
/// Qt view of the tray); tests use their own. Main thread only.
class NotificationPopoverView {
 public:
  virtual ~NotificationPopoverView() = default;
  virtual void setTitle(const std::string& title) = 0;
  /// "Detail" runs `detail`, "✕" runs `dismiss`.
  virtual void setActions(std::function<void()> detail, std::function<void()> dismiss) = 0;
  /// Shows the window under the status item's icon and brings it to the front.
  virtual void show() = 0;
  virtual void close() = 0;
};

/// The popover's content: the announcement's title and link, and what its two buttons do.
class RemoteNotificationViewController {
 public:
  /// `openURL` opens a link in the user's browser (empty: nothing to open with).
  explicit RemoteNotificationViewController(std::function<bool(const std::string&)> openURL)
      : openURL_(std::move(openURL)) {}

  const std::string& title() const { return title_; }
  const std::string& url() const { return url_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  void setURL(std::string url) { url_ = std::move(url); }

  /// "Detail": opens the link when it is an absolute http or https address (the feed is not ours to trust:
  /// any other link is logged and not opened), then asks for the popover to close.
  void openDetail();
  /// "✕": asks for the popover to close.
  void close();

 private:
  std::function<bool(const std::string&)> openURL_;
  std::string title_;
  std::string url_;
};

/// The announcement popover: its content and its view (none: nothing is drawn, the state is kept all the
/// same). Closing only hides it; the menu-bar controller keeps it for the rest of the process.
class NotificationPopover {
 public:
  NotificationPopover(std::unique_ptr<NotificationPopoverView> view,
                      std::function<bool(const std::string&)> openURL);

  RemoteNotificationViewController& contentViewController() { return content_; }
  /// Shows `title` and keeps `url` for "Detail".
  void setContent(const std::string& title, const std::string& url);
  void show();
  void close();
  bool isShown() const { return shown_; }
  NotificationPopoverView* view() const { return view_.get(); }

 private:
  RemoteNotificationViewController content_;
  std::unique_ptr<NotificationPopoverView> view_;
  bool shown_ = false;
};

}  // namespace tilvane
