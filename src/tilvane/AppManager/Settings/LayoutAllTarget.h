#pragma once

namespace tilvane {

/// What lays out every managed window again when automatic layout is switched on: the layout manager. The
/// settings service reaches it through this interface, so it does not depend on the layout engine.
class LayoutAllTarget {
 public:
  virtual ~LayoutAllTarget() = default;
  /// Lays out every managed window again. Called on the main queue.
  virtual void layoutAll() = 0;

  /// Makes `target` the one that layoutAll() calls reach while the scope lives; the previous one comes back
  /// after. Scopes must end in the reverse order of their start. Main thread only.
  class Scope {
   public:
    explicit Scope(LayoutAllTarget& target);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    LayoutAllTarget* previous_;
  };

  /// The installed target, or null when none is.
  static LayoutAllTarget* installed();
  /// Forgets the installed target (tests; also done by SharedInstances::resetAll once one was installed).
  static void reset();
};

}  // namespace tilvane
