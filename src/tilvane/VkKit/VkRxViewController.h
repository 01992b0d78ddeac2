#pragma once

#include "platform/rx/Disposable.h"

namespace tilvane {

/// The base class of view controllers (panes, lists, editors). Unlike VkRxController its hooks wait for the
/// view: the first loadViewIfNeeded() makes the view and runs setupUI() then setupViewModel(); the first layout
/// pass after that runs setupLayout(). A controller whose view is never asked for runs no hook.
///
/// This class knows no toolkit: a view class (QtViewController) makes the widget in loadView() and reports its
/// layout passes through updateViewConstraints(). Main thread only.
class VkRxViewController {
 public:
  virtual ~VkRxViewController() = default;
  VkRxViewController(const VkRxViewController&) = delete;
  VkRxViewController& operator=(const VkRxViewController&) = delete;

  /// The subscriptions that live as long as the controller.
  rx::DisposeBag& disposeBag() { return disposeBag_; }
  /// True once setupLayout() has run; it never goes back.
  bool layoutInited() const { return layoutInited_; }
  bool isViewLoaded() const { return viewLoaded_; }

  /// Makes the view and runs viewDidLoad() the first time; later calls do nothing.
  void loadViewIfNeeded();
  /// One layout pass: the first one after the view has loaded runs setupLayout().
  void updateViewConstraints();

 protected:
  VkRxViewController() = default;

  /// Makes the controller's (empty) view. Nothing here.
  virtual void loadView() {}

  /// Builds the subviews. Empty here.
  virtual void setupUI() {}
  /// Lays the subviews out, once. Empty here.
  virtual void setupLayout() {}
  /// Makes the subscriptions, keeping them in disposeBag(). Empty here.
  virtual void setupViewModel() {}

 private:
  /// Logs the set-up steps and runs setupUI() then setupViewModel().
  void viewDidLoad();

  rx::DisposeBag disposeBag_;
  bool layoutInited_ = false;
  bool viewLoaded_ = false;
};

}  // namespace tilvane
