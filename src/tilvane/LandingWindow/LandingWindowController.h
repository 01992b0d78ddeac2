#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "LandingWindow/LandingWindowItem.h"
#include "LandingWindow/LandingWindowView.h"

namespace tilvane {

/// A pager that leads the user through a few pages, one window width each, with a next button whose presses
/// run each page's actions. Creating it shows its window. Main thread only.
class LandingWindowController {
 public:
  /// What the pager asks of the program when its window closes.
  struct Environment {
    /// Whether the program may move windows now.
    std::function<bool()> isTrusted;
    /// Ends the program (the window was closed before it could do its work).
    std::function<void()> terminate;
    /// The window was closed once the program may move windows: the program must get going without it.
    std::function<void()> closedWhileTrusted;
  };

  /// `pages` must not be empty.
  LandingWindowController(std::unique_ptr<LandingWindowView> view, std::vector<LandingWindowItem> pages,
                          Environment environment);
  ~LandingWindowController();
  LandingWindowController(const LandingWindowController&) = delete;
  LandingWindowController& operator=(const LandingWindowController&) = delete;

  /// Goes one page on (with the strip's slide); nothing on the last page.
  void showNextPage();
  /// Closes the window, as its close box does.
  void close();
  /// Brings the window back to the front.
  void raise();
  bool isOpen() const;

  /// The current page as window widths to shift the strip left: 0, -1, -2, ...
  int index() const { return index_; }
  const std::vector<LandingWindowItem>& items() const { return items_; }
  LandingWindowView& view() { return *view_; }

 private:
  void setupUI();
  void setupLayout();
  void setupRx();
  void nextButtonTapped();
  void pageShown();
  void windowWillClose();
  LandingWindowItem& currentItem() { return items_[static_cast<std::size_t>(-index_)]; }
  bool onLastPage() const { return -index_ + 1 >= static_cast<int>(items_.size()); }

  std::unique_ptr<LandingWindowView> view_;
  int index_ = 0;
  std::vector<LandingWindowItem> items_;
  Environment environment_;
  bool closing_ = false;
};

}  // namespace tilvane
