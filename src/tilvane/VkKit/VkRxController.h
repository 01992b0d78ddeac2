#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "platform/rx/Disposable.h"

namespace tilvane {

/// The base class of controllers. A subclass builds what it shows in setupUI() and makes its subscriptions in
/// setupViewModel(), keeping them in disposeBag(), which ends them when the controller goes.
///
/// A constructor cannot reach a subclass's overrides, so controllers are made with make(), which builds the
/// object and then runs setupUI() and setupViewModel(), in that order. Every constructor takes a Passkey that
/// only make() can create, so a controller cannot be built without its hooks:
///
///   class MenuController : public VkRxController {
///    public:
///     MenuController(Passkey key, int items) : VkRxController(key), items_(items) {}
///    protected:
///     void setupUI() override;
///     void setupViewModel() override;
///   };
///   auto controller = VkRxController::make<MenuController>(3);
class VkRxController {
 public:
  /// Proof that the object is being made by make().
  class Passkey {
    friend class VkRxController;
    Passkey() = default;
  };

  /// Builds a T from `args` (after the passkey), then runs its setupUI() and setupViewModel().
  template <class T, class... Args>
  static std::unique_ptr<T> make(Args&&... args) {
    static_assert(std::is_base_of_v<VkRxController, T>, "make() builds controllers only");
    auto controller = std::make_unique<T>(Passkey{}, std::forward<Args>(args)...);
    static_cast<VkRxController&>(*controller).runSetupHooks();
    return controller;
  }

  virtual ~VkRxController() = default;
  VkRxController(const VkRxController&) = delete;
  VkRxController& operator=(const VkRxController&) = delete;

  /// The subscriptions that live as long as the controller.
  rx::DisposeBag& disposeBag() { return disposeBag_; }

 protected:
  explicit VkRxController(Passkey) {}

  /// Builds the controller's views. Empty here.
  virtual void setupUI() {}
  /// Makes the controller's subscriptions, keeping them in disposeBag(). Empty here.
  virtual void setupViewModel() {}

 private:
  void runSetupHooks() {
    setupUI();
    setupViewModel();
  }

  rx::DisposeBag disposeBag_;
};

}  // namespace tilvane
