#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "AppManager/Catalogue/AppManager.h"

namespace tilvane::test {

/// Adds to the shared catalogue, as the user does with "+", a launcher kept in `folder` (outside the applications
/// folders) that runs `program` and names no window class. Returns its identifier: the class guessed from the
/// program ("Tilvaneclock" for tilvaneclock); empty when the catalogue cannot read it.
inline std::string addLauncherByHand(const std::filesystem::path& folder, const std::string& program) {
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / (program + ".desktop");
  std::ofstream(file) << "[Desktop Entry]\nType=Application\nName=" << program << "\nExec=" << program << "\n";
  AppManager& catalogue = AppManager::shared();
  const auto app = catalogue.appInfo(file.string());
  if (!app) return {};
  catalogue.addApplication(file.string(), *app);
  return app->bundleID;
}

}  // namespace tilvane::test
