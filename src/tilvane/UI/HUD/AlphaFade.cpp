#include "UI/HUD/AlphaFade.h"

#include <algorithm>

namespace tilvane {

void AlphaFade::start(double from, double to, double duration, Apply apply, std::function<void()> completion) {
  cancel();
  apply(from);
  const double startTime = dispatch::MainQueue::clock().now();
  const double span = std::max(duration, 0.0);
  if (span > 0) {
    steps_.start(1.0 / 60.0, [apply, from, to, span, startTime] {
      const double progress = std::clamp((dispatch::MainQueue::clock().now() - startTime) / span, 0.0, 1.0);
      apply(from + (to - from) * progress);
    });
  }
  end_.schedule(span, [this, apply = std::move(apply), to, completion = std::move(completion)] {
    steps_.stop();
    apply(to);
    if (completion) completion();
  });
}

void AlphaFade::cancel() {
  steps_.stop();
  end_.cancel();
}

}  // namespace tilvane
