#include "Preferences/Controls.h"

namespace tilvane {

void Checkbox::setState(int state) {
  state_ = state;
  shown_.onNext(state);
}

void Checkbox::click() {
  setState(state_ == on ? off : on);
  userChanges_.onNext(state_);
}

rx::Observable<int> Checkbox::rxState() const {
  const Checkbox* self = this;
  const rx::Observable<int> changes = userChanges_.asObservable();
  return rx::Observable<int>([self, changes](rx::Observable<int>::Observer observer) {
    observer(self->state());
    return changes.subscribe(std::move(observer));
  });
}

}  // namespace tilvane
