#pragma once

#include <cstdint>
#include <optional>
#include <string>

// One frame of a crashed run's stack as the next launch names it: the address, and what symbolication found.

namespace crashreporting {

struct VRDStackFrame {
  std::uint32_t lineNumber = 0;
  std::optional<std::string> symbol;
  std::optional<std::string> rawSymbol;
  std::optional<std::string> library;
  std::optional<std::string> fileName;
  std::uint64_t offset = 0;
  std::uint64_t address = 0;
  /// Whether the address points after a call rather than at the instruction a thread was stopped at, where the
  /// record says; unset: by position (a thread's first frame is the instruction, the others return addresses).
  std::optional<bool> returnAddress;

  static VRDStackFrame stackFrame() { return {}; }
  static VRDStackFrame stackFrameWithAddress(std::uint64_t address);
  /// Both `symbol` and `rawSymbol` set to `symbol`.
  static VRDStackFrame stackFrameWithSymbol(std::string symbol);

  /// With a file name "{[0x<address>] <file> - <symbol>:<line>}", else "{[0x<address> + <line>] <symbol>}"
  /// (the number after "+" is the line number); an absent text reads "(null)".
  std::string description() const;
};

}  // namespace crashreporting
