#pragma once

#include <cstddef>
#include <cstdint>

// A thread's x86-64 register state as the capture records it: the exception state, the 21 general registers in
// the recorded order, then the floating-point state. Filled from a signal's ucontext; read through accessors.

#if !defined(__x86_64__)
#error "The crash capture records x86-64 register states."
#endif

namespace crashreporting {

struct VRDExceptionState {
  std::uint32_t trapNumber;
  std::uint32_t errorCode;
  std::uint64_t faultAddress;
};

inline constexpr std::size_t VRDGeneralRegisterCount = 21;
/// Register names in recording order.
inline constexpr const char* VRDGeneralRegisterNames[VRDGeneralRegisterCount] = {
    "rax", "rbx", "rcx", "rdx", "rdi", "rsi", "rbp", "rsp", "r8",     "r9", "r10",
    "r11", "r12", "r13", "r14", "r15", "rip", "rflags", "cs", "fs", "gs"};

enum VRDRegister : std::size_t { VRDRegisterRBP = 6, VRDRegisterRSP = 7, VRDRegisterRIP = 16 };

struct VRDThreadState {
  VRDExceptionState exception;
  std::uint64_t registers[VRDGeneralRegisterCount];
  alignas(16) std::uint8_t floatState[512];
};

/// Copies the machine context a signal's ucontext refers to (the floating-point state through a safe read).
bool VRDThreadStateFromUserContext(const void* userContext, VRDThreadState* out) noexcept;

/// PC = rip, SP = rsp, FP = rbp. Getters answer 0 and setters false for a state pointer below 4096.
std::uint64_t VRDThreadContextGetPC(const VRDThreadState* state) noexcept;
bool VRDThreadContextSetPC(VRDThreadState* state, std::uint64_t value) noexcept;
std::uint64_t VRDThreadContextGetStackPointer(const VRDThreadState* state) noexcept;
bool VRDThreadContextSetStackPointer(VRDThreadState* state, std::uint64_t value) noexcept;
std::uint64_t VRDThreadContextGetFramePointer(const VRDThreadState* state) noexcept;
bool VRDThreadContextSetFramePointer(VRDThreadState* state, std::uint64_t value) noexcept;

}  // namespace crashreporting
