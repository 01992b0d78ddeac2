#include "platform/hotkeys/KeyNames.h"

#include <array>
#include <cctype>
#include <utility>

namespace tilvane {
namespace {

// Virtual key code to its name; the codes follow the ANSI layout of the stored form.
constexpr std::array<std::pair<CGKeyCode, std::string_view>, 95> kNames{{
    {0x00, "A"},     {0x01, "S"},      {0x02, "D"},     {0x03, "F"},      {0x04, "H"},      {0x05, "G"},
    {0x06, "Z"},     {0x07, "X"},      {0x08, "C"},     {0x09, "V"},      {0x0B, "B"},      {0x0C, "Q"},
    {0x0D, "W"},     {0x0E, "E"},      {0x0F, "R"},     {0x10, "Y"},      {0x11, "T"},      {0x12, "1"},
    {0x13, "2"},     {0x14, "3"},      {0x15, "4"},     {0x16, "6"},      {0x17, "5"},      {0x18, "="},
    {0x19, "9"},     {0x1A, "7"},      {0x1B, "-"},     {0x1C, "8"},      {0x1D, "0"},      {0x1E, "]"},
    {0x1F, "O"},     {0x20, "U"},      {0x21, "["},     {0x22, "I"},      {0x23, "P"},      {0x25, "L"},
    {0x26, "J"},     {0x27, "'"},      {0x28, "K"},     {0x29, ";"},      {0x2A, "\\"},     {0x2B, ","},
    {0x2C, "/"},     {0x2D, "N"},      {0x2E, "M"},     {0x2F, "."},      {0x32, "`"},      {0x24, "Return"},
    {0x30, "Tab"},   {0x31, "Space"},  {0x33, "Backspace"}, {0x35, "Esc"},  {0x41, "Num+."},  {0x43, "Num+*"},
    {0x45, "Num++"}, {0x47, "Clear"},  {0x4B, "Num+/"}, {0x4C, "Enter"},  {0x4E, "Num+-"},  {0x51, "Num+="},
    {0x52, "Num+0"}, {0x53, "Num+1"},  {0x54, "Num+2"}, {0x55, "Num+3"},  {0x56, "Num+4"},  {0x57, "Num+5"},
    {0x58, "Num+6"}, {0x59, "Num+7"},  {0x5B, "Num+8"}, {0x5C, "Num+9"},  {0x7A, "F1"},     {0x78, "F2"},
    {0x63, "F3"},    {0x76, "F4"},     {0x60, "F5"},    {0x61, "F6"},     {0x62, "F7"},     {0x64, "F8"},
    {0x65, "F9"},    {0x6D, "F10"},    {0x67, "F11"},   {0x6F, "F12"},    {0x69, "F13"},    {0x6B, "F14"},
    {0x71, "F15"},   {0x72, "Help"},   {0x73, "Home"},  {0x74, "PgUp"},   {0x75, "Del"},    {0x77, "End"},
    {0x79, "PgDown"}, {0x7B, "Left"},  {0x7C, "Right"}, {0x7D, "Down"},   {0x7E, "Up"},
}};

}  // namespace

std::string keyName(std::uint64_t keyCode) {
  for (const auto& [code, name] : kNames)
    if (code == keyCode) return std::string(name);
  return {};
}

std::optional<CGKeyCode> virtualKeyForName(std::string_view name) {
  std::string wanted(name);
  if (wanted.size() == 1) wanted[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(wanted[0])));
  for (const auto& [code, known] : kNames)
    if (known == wanted) return code;
  return std::nullopt;
}

std::string modifierNames(CGEventFlags flags) {
  static constexpr std::pair<CGEventFlags, std::string_view> names[] = {
      {kCGEventFlagMaskControl, "Ctrl+"},
      {kCGEventFlagMaskAlternate, "Alt+"},
      {kCGEventFlagMaskShift, "Shift+"},
      {kCGEventFlagMaskCommand, "Super+"},
  };
  std::string text;
  for (const auto& [flag, label] : names)
    if (flags & flag) text += label;
  return text;
}

}  // namespace tilvane
