#pragma once

#include <cstdint>
#include <optional>
#include <regex>
#include <string>

#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {

/// A window of the program as `xwininfo -root -tree` lists it, in root pixels.
struct Placed {
  std::uint32_t window = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

/// A window of class "tilvane" in `xwininfo -root -tree`, under trayer's panel when `inTray` (the icon); else a
/// mapped one taller than 200 pixels (the open menu).
inline std::optional<Placed> findTilvaneWindow(bool inTray) {
  static const std::regex row(
      R"(^(\s*)(0x[0-9a-f]+) .*\("tilvane" "Tilvane"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))");
  static const std::regex panel(R"(^(\s*)0x[0-9a-f]+ .*\("panel" "trayer"\))");
  std::size_t panelIndent = std::string::npos;
  for (const std::string& line : outputOf({"xwininfo", "-root", "-tree"})) {
    std::smatch m;
    if (std::regex_search(line, m, panel)) {
      panelIndent = static_cast<std::size_t>(m[1].length());
      continue;
    }
    if (!std::regex_search(line, m, row)) continue;
    const Placed placed{static_cast<std::uint32_t>(std::stoul(m[2], nullptr, 16)), std::stoi(m[5]), std::stoi(m[6]),
                        std::stoi(m[3]), std::stoi(m[4])};
    const bool underPanel =
        panelIndent != std::string::npos && static_cast<std::size_t>(m[1].length()) > panelIndent;
    if (inTray && underPanel) return placed;
    if (!inTray && !underPanel && placed.height > 200) return placed;
  }
  return std::nullopt;
}

}  // namespace tilvane::test::x11
