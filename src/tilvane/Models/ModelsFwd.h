#pragma once

#include <memory>

namespace tilvane {

// Stored models are held by shared pointer: a stored object read twice on one thread is one object, shared by
// every component that read it. An absent model is a null pointer.
class WorkspaceLayoutGroupModel;
class WorkspaceLayoutItemModel;
class CustomLayoutModel;
class RuleLayoutModel;
class AutoLayoutModel;
class ExtensionAppModel;
class WindowMovingModel;

using WorkspaceLayoutGroupModelPtr = std::shared_ptr<WorkspaceLayoutGroupModel>;
using WorkspaceLayoutItemModelPtr = std::shared_ptr<WorkspaceLayoutItemModel>;
using CustomLayoutModelPtr = std::shared_ptr<CustomLayoutModel>;
using RuleLayoutModelPtr = std::shared_ptr<RuleLayoutModel>;
using AutoLayoutModelPtr = std::shared_ptr<AutoLayoutModel>;
using ExtensionAppModelPtr = std::shared_ptr<ExtensionAppModel>;
using WindowMovingModelPtr = std::shared_ptr<WindowMovingModel>;

}  // namespace tilvane
