#include "CustomLayout/Qt/QtCustomLayoutViews.h"

#include "CustomLayout/Qt/QtCustomLayoutDetailView.h"
#include "CustomLayout/Qt/QtCustomLayoutListView.h"

namespace tilvane {

std::unique_ptr<CustomLayoutListView> QtCustomLayoutViews::makeView(CustomLayoutViewController& controller) {
  return std::make_unique<QtCustomLayoutListView>(controller);
}

std::unique_ptr<CustomLayoutDetailView> QtCustomLayoutViews::makeView(CustomLayoutDetailViewController& controller) {
  return std::make_unique<QtCustomLayoutDetailView>(controller);
}

}  // namespace tilvane
