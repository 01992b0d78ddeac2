#pragma once

#include <functional>
#include <string>
#include <vector>

#include "LandingWindow/LandingWindowView.h"

namespace tilvane::test {

/// A landing window without a screen: it keeps what it was told, and its slides end when the test says.
/// `state` outlives the view, so a test still reads it after the controller (and the view) went.
struct FakeLandingState {
  std::string title;
  std::string next;
  std::string prev;
  bool nextHidden = false;
  bool prevHidden = false;
  double stripX = 0;
  std::string note;
  std::vector<std::string> alerts;  // "message|informative|button"
  bool open = false;
  int raises = 0;
  std::function<void()> slideDone;
  LandingWindowView::Handlers handlers;

  void pressNext() { handlers.nextTapped(); }
  /// Ends the running slide.
  void finishSlide() {
    auto done = std::move(slideDone);
    slideDone = nullptr;
    if (done) done();
  }
  /// The close box.
  void closeBox() {
    if (handlers.willClose) handlers.willClose();
    open = false;
  }
};

class FakeLandingView final : public LandingWindowView {
 public:
  explicit FakeLandingView(FakeLandingState& state) : s_(state) {}
  void setHandlers(Handlers handlers) override { s_.handlers = std::move(handlers); }
  void showWindow(const std::string& title) override {
    s_.title = title;
    s_.open = true;
  }
  double windowWidth() const override { return 600; }
  void setNextTitle(const std::string& title) override { s_.next = title; }
  void setNextHidden(bool hidden) override { s_.nextHidden = hidden; }
  void setPrevTitle(const std::string& title) override { s_.prev = title; }
  void setPrevHidden(bool hidden) override { s_.prevHidden = hidden; }
  void slideStripTo(double x, std::function<void()> done) override {
    s_.stripX = x;
    s_.slideDone = std::move(done);
  }
  void setNote(const std::string& text) override { s_.note = text; }
  void showAlert(const std::string& message, const std::string& informative, const std::string& button) override {
    s_.alerts.push_back(message + "|" + informative + "|" + button);
  }
  void close() override { s_.closeBox(); }
  void raise() override { ++s_.raises; }
  bool isOpen() const override { return s_.open; }

 private:
  FakeLandingState& s_;
};

}  // namespace tilvane::test
