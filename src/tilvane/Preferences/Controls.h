#pragma once

#include <string>

#include "platform/rx/Observable.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// A checkbox's behaviour: a state (1 ticked, 0 not) and a title. rxState() hands a subscriber the current
/// state at once, then the state after every click of the user; a state set from code reaches only the view
/// (shown()). Main thread only.
class Checkbox {
 public:
  static constexpr int on = 1;
  static constexpr int off = 0;

  explicit Checkbox(std::string title = {}) : title_(std::move(title)) {}

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  int state() const { return state_; }
  /// Shows `state`; not delivered to rxState().
  void setState(int state);
  /// The user clicked the box: it toggles and the new state is delivered.
  void click();

  rx::Observable<int> rxState() const;
  /// Every state the box shows, from code or from the user: what the view draws.
  rx::PublishSubject<int>& shown() { return shown_; }

 private:
  std::string title_;
  int state_ = off;
  rx::PublishSubject<int> userChanges_;
  rx::PublishSubject<int> shown_;
};

/// A push button's behaviour: a title and one tap event per press. Main thread only.
class PushButton {
 public:
  explicit PushButton(std::string title = {}) : title_(std::move(title)) {}

  const std::string& title() const { return title_; }
  void press() { rxTap_.onNext(); }
  rx::PublishSubject<rx::Unit>& rxTap() { return rxTap_; }

 private:
  std::string title_;
  rx::PublishSubject<rx::Unit> rxTap_;
};

}  // namespace tilvane
