#pragma once

#include "CustomLayout/CustomLayoutViews.h"

namespace tilvane {

/// The Layouts pane's views in Qt Widgets.
class QtCustomLayoutViews final : public CustomLayoutViews {
 public:
  std::unique_ptr<CustomLayoutListView> makeView(CustomLayoutViewController& controller) override;
  std::unique_ptr<CustomLayoutDetailView> makeView(CustomLayoutDetailViewController& controller) override;
};

}  // namespace tilvane
