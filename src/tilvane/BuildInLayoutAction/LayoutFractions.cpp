#include "BuildInLayoutAction/LayoutFractions.h"

namespace tilvane {

std::optional<CGRect> layoutFractions(const LayoutNodeType& type) {
  using Case = LayoutNodeType::Case;
  switch (type.kind()) {
    case Case::fullscreen: return CGRectMake(0, 0, 1, 1);
    case Case::center: return CGRectMake(0.25, 0.25, 0.5, 0.5);
    case Case::halfLeft: return CGRectMake(0, 0, 0.5, 1);
    case Case::halfRight: return CGRectMake(0.5, 0, 0.5, 1);
    case Case::halfTop: return CGRectMake(0, 0, 1, 0.5);
    case Case::halfBottom: return CGRectMake(0, 0.5, 1, 0.5);
    case Case::topLeft: return CGRectMake(0, 0, 0.5, 0.5);
    case Case::topRight: return CGRectMake(0.5, 0, 0.5, 0.5);
    case Case::bottomLeft: return CGRectMake(0, 0.5, 0.5, 0.5);
    case Case::bottomRight: return CGRectMake(0.5, 0.5, 0.5, 0.5);
    default: return std::nullopt;
  }
}

}  // namespace tilvane
