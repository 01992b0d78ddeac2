#include "Models/ModelSchemas.h"

#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/ExtensionAppModel.h"
#include "Models/RuleLayoutModel.h"
#include "Models/WindowMovingModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"

namespace tilvane {

const std::vector<const store::ObjectSchema*>& modelSchemas() {
  static const std::vector<const store::ObjectSchema*> schemas = {
      &WorkspaceLayoutGroupModel::schema(), &WorkspaceLayoutItemModel::schema(), &CustomLayoutModel::schema(),
      &RuleLayoutModel::schema(),           &AutoLayoutModel::schema(),          &ExtensionAppModel::schema(),
      &WindowMovingModel::schema()};
  return schemas;
}

}  // namespace tilvane
