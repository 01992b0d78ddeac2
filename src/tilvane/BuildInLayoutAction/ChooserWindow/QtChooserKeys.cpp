#include "BuildInLayoutAction/ChooserWindow/QtChooserKeys.h"

#include <QGuiApplication>
#include <array>
#include <utility>

#include "platform/desktop/KeyCodes.h"

namespace tilvane {
namespace {

// Qt key to virtual key code of the ANSI layout.
constexpr std::pair<int, CGKeyCode> kKeys[] = {
    {Qt::Key_A, 0x00}, {Qt::Key_S, 0x01}, {Qt::Key_D, 0x02}, {Qt::Key_F, 0x03}, {Qt::Key_H, 0x04},
    {Qt::Key_G, 0x05}, {Qt::Key_Z, 0x06}, {Qt::Key_X, 0x07}, {Qt::Key_C, 0x08}, {Qt::Key_V, 0x09},
    {Qt::Key_B, 0x0B}, {Qt::Key_Q, 0x0C}, {Qt::Key_W, 0x0D}, {Qt::Key_E, 0x0E}, {Qt::Key_R, 0x0F},
    {Qt::Key_Y, 0x10}, {Qt::Key_T, 0x11}, {Qt::Key_O, 0x1F}, {Qt::Key_U, 0x20}, {Qt::Key_I, 0x22},
    {Qt::Key_P, 0x23}, {Qt::Key_L, 0x25}, {Qt::Key_J, 0x26}, {Qt::Key_K, 0x28}, {Qt::Key_N, 0x2D},
    {Qt::Key_M, 0x2E},
    {Qt::Key_1, kVK_ANSI_1}, {Qt::Key_2, kVK_ANSI_2}, {Qt::Key_3, kVK_ANSI_3}, {Qt::Key_4, kVK_ANSI_4},
    {Qt::Key_5, kVK_ANSI_5}, {Qt::Key_6, kVK_ANSI_6}, {Qt::Key_7, kVK_ANSI_7}, {Qt::Key_8, kVK_ANSI_8},
    {Qt::Key_9, kVK_ANSI_9}, {Qt::Key_0, kVK_ANSI_0},
    {Qt::Key_Equal, 0x18}, {Qt::Key_Minus, 0x1B}, {Qt::Key_BracketRight, 0x1E}, {Qt::Key_BracketLeft, 0x21},
    {Qt::Key_Apostrophe, 0x27}, {Qt::Key_Semicolon, 0x29}, {Qt::Key_Backslash, 0x2A}, {Qt::Key_Comma, 0x2B},
    {Qt::Key_Slash, 0x2C}, {Qt::Key_Period, 0x2F}, {Qt::Key_QuoteLeft, 0x32},
    {Qt::Key_Return, kVK_Return}, {Qt::Key_Enter, 0x4C}, {Qt::Key_Tab, kVK_Tab}, {Qt::Key_Backtab, kVK_Tab},
    {Qt::Key_Space, 0x31}, {Qt::Key_Backspace, 0x33}, {Qt::Key_Escape, kVK_Escape},
    {Qt::Key_Help, 0x72}, {Qt::Key_Home, 0x73}, {Qt::Key_PageUp, 0x74}, {Qt::Key_Delete, 0x75},
    {Qt::Key_End, 0x77}, {Qt::Key_PageDown, 0x79},
    {Qt::Key_Left, kVK_LeftArrow}, {Qt::Key_Right, kVK_RightArrow}, {Qt::Key_Down, kVK_DownArrow},
    {Qt::Key_Up, kVK_UpArrow},
    {Qt::Key_F1, 0x7A}, {Qt::Key_F2, 0x78}, {Qt::Key_F3, 0x63}, {Qt::Key_F4, 0x76}, {Qt::Key_F5, 0x60},
    {Qt::Key_F6, 0x61}, {Qt::Key_F7, 0x62}, {Qt::Key_F8, 0x64}, {Qt::Key_F9, 0x65}, {Qt::Key_F10, 0x6D},
    {Qt::Key_F11, 0x67}, {Qt::Key_F12, 0x6F}, {Qt::Key_F13, 0x69}, {Qt::Key_F14, 0x6B}, {Qt::Key_F15, 0x71},
};

// Keypad digits have codes of their own: they do not name desktops.
constexpr std::array<CGKeyCode, 10> kKeypadDigits{0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5B, 0x5C};

// The digit row by place, as X11 evdev key codes 10 (1) ... 18 (9), 19 (0).
constexpr std::array<CGKeyCode, 10> kDigitRow{kVK_ANSI_1, kVK_ANSI_2, kVK_ANSI_3, kVK_ANSI_4, kVK_ANSI_5,
                                              kVK_ANSI_6, kVK_ANSI_7, kVK_ANSI_8, kVK_ANSI_9, kVK_ANSI_0};
constexpr std::uint32_t kX11FirstDigitKey = 10;

bool isModifierKey(int key) {
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
      return true;
    default:
      return false;
  }
}

CGEventFlags flagsOf(Qt::KeyboardModifiers modifiers) {
  CGEventFlags flags = 0;
  if (modifiers & Qt::ShiftModifier) flags |= kCGEventFlagMaskShift;
  if (modifiers & Qt::ControlModifier) flags |= kCGEventFlagMaskControl;
  if (modifiers & Qt::AltModifier) flags |= kCGEventFlagMaskAlternate;
  if (modifiers & Qt::MetaModifier) flags |= kCGEventFlagMaskCommand;
  return flags;
}

std::optional<CGKeyCode> codeOf(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t scanCode,
                                NativeScanCodes scanCodes) {
  if (modifiers & Qt::KeypadModifier && qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
    return kKeypadDigits[static_cast<std::size_t>(qtKey - Qt::Key_0)];
  if (scanCodes == NativeScanCodes::x11Evdev && scanCode >= kX11FirstDigitKey &&
      scanCode < kX11FirstDigitKey + kDigitRow.size() && !(modifiers & Qt::KeypadModifier))
    return kDigitRow[scanCode - kX11FirstDigitKey];
  for (const auto& [key, code] : kKeys)
    if (key == qtKey) return code;
  return std::nullopt;
}

}  // namespace

std::optional<ChooserKeyEvent> chooserKeyEvent(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t scanCode,
                                               NativeScanCodes scanCodes) {
  if (isModifierKey(qtKey)) return std::nullopt;
  const std::optional<CGKeyCode> code = codeOf(qtKey, modifiers, scanCode, scanCodes);
  if (!code) return std::nullopt;
  return ChooserKeyEvent{*code, flagsOf(modifiers)};
}

std::optional<ChooserKeyEvent> chooserKeyEvent(const QKeyEvent& event) {
  const NativeScanCodes scanCodes =
      QGuiApplication::platformName() == QLatin1String("xcb") ? NativeScanCodes::x11Evdev : NativeScanCodes::unknown;
  return chooserKeyEvent(event.key(), event.modifiers(), event.nativeScanCode(), scanCodes);
}

}  // namespace tilvane
