#pragma once

#include <QImage>
#include <filesystem>
#include <string>

namespace tilvane::test {

/// Keeps a screenshot as a test artefact (build folder's artefacts/<name>.png) for whoever changed the window
/// to look at; nothing compares it. Returns the file written, empty when it could not be.
inline std::filesystem::path saveArtefact(const std::string& name, const QImage& image) {
  const std::filesystem::path folder = TILVANE_TEST_ARTEFACTS;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::filesystem::path file = folder / (name + ".png");
  return image.save(QString::fromStdString(file.string())) ? file : std::filesystem::path{};
}

}  // namespace tilvane::test
