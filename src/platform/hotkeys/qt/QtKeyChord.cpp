#include "platform/hotkeys/qt/QtKeyChord.h"

#include <string>
#include <string_view>
#include <utility>

#include "platform/hotkeys/KeyNames.h"

namespace tilvane {
namespace {

// Signs a US layout types with Shift, and the key that types them.
constexpr std::string_view kShifted = "!@#$%^&*()_+{}|:\"<>?~";
constexpr std::string_view kUnshifted = "1234567890-=[]\\;',./`";

// Named keys of Qt and the names of KeyNames.h.
constexpr std::pair<int, std::string_view> kNamed[] = {
    {Qt::Key_Return, "Return"}, {Qt::Key_Enter, "Enter"},     {Qt::Key_Tab, "Tab"},      {Qt::Key_Space, "Space"},
    {Qt::Key_Backspace, "Backspace"}, {Qt::Key_Escape, "Esc"}, {Qt::Key_Delete, "Del"},   {Qt::Key_Home, "Home"},
    {Qt::Key_End, "End"},       {Qt::Key_PageUp, "PgUp"},      {Qt::Key_PageDown, "PgDown"}, {Qt::Key_Left, "Left"},
    {Qt::Key_Right, "Right"},   {Qt::Key_Up, "Up"},            {Qt::Key_Down, "Down"},    {Qt::Key_Help, "Help"},
    {Qt::Key_Clear, "Clear"},
};

CGEventFlags flagsOf(Qt::KeyboardModifiers modifiers) {
  CGEventFlags flags = 0;
  if (modifiers & Qt::ShiftModifier) flags |= kCGEventFlagMaskShift;
  if (modifiers & Qt::ControlModifier) flags |= kCGEventFlagMaskControl;
  if (modifiers & Qt::AltModifier) flags |= kCGEventFlagMaskAlternate;
  if (modifiers & Qt::MetaModifier) flags |= kCGEventFlagMaskCommand;
  return flags;
}

std::string nameOf(int qtKey, Qt::KeyboardModifiers modifiers, CGEventFlags& flags) {
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F15) {
    std::string name = "F";
    name += std::to_string(qtKey - Qt::Key_F1 + 1);
    return name;
  }
  for (const auto& [key, name] : kNamed)
    if (key == qtKey) return std::string(name);
  if (qtKey <= 0x20 || qtKey >= 0x7F) return {};
  char sign = static_cast<char>(qtKey);
  if (const auto at = kShifted.find(sign); at != std::string_view::npos) {
    sign = kUnshifted[at];
    flags |= kCGEventFlagMaskShift;
  }
  std::string name = (modifiers & Qt::KeypadModifier) ? "Num+" : "";
  name += sign;
  return name;
}

}  // namespace

std::optional<KeyChord> keyChordOf(int qtKey, Qt::KeyboardModifiers modifiers) {
  CGEventFlags flags = flagsOf(modifiers);
  const auto code = virtualKeyForName(nameOf(qtKey, modifiers, flags));
  if (!code) return std::nullopt;
  return KeyChord{*code, flags};
}

}  // namespace tilvane
