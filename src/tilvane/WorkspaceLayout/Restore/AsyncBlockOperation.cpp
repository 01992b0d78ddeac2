#include "WorkspaceLayout/Restore/AsyncBlockOperation.h"

namespace tilvane {

void AsyncBlockOperation::main() {
  std::weak_ptr<AsyncBlockOperation> weak = weak_from_this();
  Done done = [weak] {
    if (auto self = weak.lock()) self->finish();
  };
  if (block_)
    block_(std::move(done));
  else
    done();
}

}  // namespace tilvane
