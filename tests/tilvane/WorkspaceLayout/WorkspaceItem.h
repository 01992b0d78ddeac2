#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/desktop/Geometry.h"

namespace tilvane::test {

/// A workspace item (not stored): `bundle`'s window on desktop `space` at `fractions` of its display's visible
/// frame, started from `app` with `file` when they are given.
inline WorkspaceLayoutItemModelPtr workspaceItem(const std::string& bundle, std::int64_t space,
                                                 const CGRect& fractions, const std::string& app = {},
                                                 const std::string& file = {}) {
  auto item = std::make_shared<WorkspaceLayoutItemModel>();
  item->setBundleIdentifier(bundle);
  item->setSpaceIndex(space);
  item->setX(fractions.origin.x);
  item->setY(fractions.origin.y);
  item->setWidth(fractions.size.width);
  item->setHeight(fractions.size.height);
  item->setAppPath(app);
  item->setFilePath(file);
  return item;
}

}  // namespace tilvane::test
