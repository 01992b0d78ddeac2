#include "Models/ModelSchemas.h"

#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/ExtensionAppModel.h"
#include "Models/ModelValues.h"
#include "Models/RuleLayoutModel.h"
#include "Models/WindowMovingModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/base/Uuid.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

TILVANE_MODEL_SCHEMA(WorkspaceLayoutGroupModel, TILVANE_WORKSPACE_LAYOUT_GROUP_MODEL_FIELDS)
TILVANE_MODEL_SCHEMA(WorkspaceLayoutItemModel, TILVANE_WORKSPACE_LAYOUT_ITEM_MODEL_FIELDS)
TILVANE_MODEL_SCHEMA(CustomLayoutModel, TILVANE_CUSTOM_LAYOUT_MODEL_FIELDS)
TILVANE_MODEL_SCHEMA(RuleLayoutModel, TILVANE_RULE_LAYOUT_MODEL_FIELDS)
TILVANE_MODEL_SCHEMA(AutoLayoutModel, TILVANE_AUTO_LAYOUT_MODEL_FIELDS)
TILVANE_MODEL_SCHEMA(ExtensionAppModel, TILVANE_EXTENSION_APP_MODEL_FIELDS)
TILVANE_MODEL_SCHEMA(WindowMovingModel, TILVANE_WINDOW_MOVING_MODEL_FIELDS)

const std::vector<const store::ObjectSchema*>& modelSchemas() {
  static const std::vector<const store::ObjectSchema*> schemas = {
      &WorkspaceLayoutGroupModel::schema(), &WorkspaceLayoutItemModel::schema(), &CustomLayoutModel::schema(),
      &RuleLayoutModel::schema(),           &AutoLayoutModel::schema(),          &ExtensionAppModel::schema(),
      &WindowMovingModel::schema()};
  return schemas;
}

}  // namespace tilvane
