#pragma once

#include <QImage>

namespace tilvane {

/// The landing window's background, "Landing": one 600 × 350 panel per page (welcome, permission, ready),
/// drawn at twice that size so it stays sharp on dense screens. The page texts come from the localisation
/// table.
QImage landingArtwork();

}  // namespace tilvane
