#include "crashreporting/Capture/VRDStackFrame.h"

#include <cinttypes>
#include <cstdio>

namespace crashreporting {
namespace {

std::string text(const std::optional<std::string>& value) { return value.value_or("(null)"); }

std::string hex(std::uint64_t value) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "0x%" PRIx64, value);
  return digits;
}

}  // namespace

VRDStackFrame VRDStackFrame::stackFrameWithAddress(std::uint64_t address) {
  VRDStackFrame frame;
  frame.address = address;
  return frame;
}

VRDStackFrame VRDStackFrame::stackFrameWithSymbol(std::string symbol) {
  VRDStackFrame frame;
  frame.rawSymbol = symbol;
  frame.symbol = std::move(symbol);
  return frame;
}

std::string VRDStackFrame::description() const {
  if (fileName) {
    return "{[" + hex(address) + "] " + *fileName + " - " + text(symbol) + ":" + std::to_string(lineNumber) + "}";
  }
  return "{[" + hex(address) + " + " + std::to_string(lineNumber) + "] " + text(symbol) + "}";
}

}  // namespace crashreporting
