#include "LandingWindow/LandingWindowController.h"

#include <utility>

#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {
const std::string& firstTitle(const LandingWindowItem& item) {
  return item.checkTitle ? *item.checkTitle : item.nextTitle;
}
}  // namespace

LandingWindowController::LandingWindowController(std::unique_ptr<LandingWindowView> view,
                                                 std::vector<LandingWindowItem> pages, Environment environment)
    : view_(std::move(view)), items_(std::move(pages)), environment_(std::move(environment)) {
  setupUI();
  setupLayout();
  setupRx();
}

LandingWindowController::~LandingWindowController() { view_->setHandlers({}); }

void LandingWindowController::setupUI() {
  view_->showWindow(NSLocalizedString("TilvaneGuide"));
  view_->setNextTitle(NSLocalizedString(firstTitle(items_.front())));
  view_->setPrevHidden(true);
  view_->setPrevTitle("");
}

// The window lays its buttons out itself; nothing is placed from here.
void LandingWindowController::setupLayout() {}

void LandingWindowController::setupRx() {
  view_->setHandlers({[this] { nextButtonTapped(); }, [this] { windowWillClose(); }});
}

void LandingWindowController::nextButtonTapped() {
  LandingWindowItem& item = currentItem();
  if (item.checkTitle) {
    if (!item.checked) {
      if (item.checkAction) item.checkAction();
      item.checked = true;
      view_->setNextTitle(NSLocalizedString(item.nextTitle));
      return;
    }
    if (item.nextAction && item.nextAction()) {
      showNextPage();
      return;
    }
    view_->showAlert("Accessibility disabled", "Please enable Accessibility", "OK");
    return;
  }
  if (item.nextAction) item.nextAction();
  if (onLastPage()) {
    close();
  } else {
    showNextPage();
  }
}

void LandingWindowController::showNextPage() {
  if (onLastPage()) return;
  --index_;
  view_->setNextHidden(true);
  view_->setPrevHidden(true);
  view_->setNote("");
  const LandingWindowItem& item = currentItem();
  view_->setNextTitle(NSLocalizedString(firstTitle(item)));
  view_->setPrevTitle(item.prevTitle ? NSLocalizedString(*item.prevTitle) : "");
  view_->slideStripTo(view_->windowWidth() * index_, [this] { pageShown(); });
}

// The buttons stay hidden while the strip slides, so no second press arrives mid-way.
void LandingWindowController::pageShown() {
  view_->setNextHidden(false);
  view_->setPrevHidden(!currentItem().prevTitle.has_value());
}

void LandingWindowController::close() { view_->close(); }

void LandingWindowController::raise() { view_->raise(); }

bool LandingWindowController::isOpen() const { return view_->isOpen(); }

// Closed before the program may move windows, the program has nothing to do; closed after, it must not be
// left running with no window and no menu.
void LandingWindowController::windowWillClose() {
  if (closing_) return;
  closing_ = true;
  if (environment_.isTrusted && environment_.isTrusted()) {
    if (environment_.closedWhileTrusted) environment_.closedWhileTrusted();
  } else if (environment_.terminate) {
    environment_.terminate();
  }
}

}  // namespace tilvane
