#include "crashreporting/Capture/VRDThreadState.h"

#include <ucontext.h>

#include <cstring>

#include "crashreporting/Capture/VRDSafeRead.h"

namespace crashreporting {
namespace {

bool valid(const VRDThreadState* state) {
  return reinterpret_cast<std::uintptr_t>(state) >= VRDMinimumValidAddress;
}

}  // namespace

bool VRDThreadStateFromUserContext(const void* userContext, VRDThreadState* out) noexcept {
  if (reinterpret_cast<std::uintptr_t>(userContext) < VRDMinimumValidAddress || !valid(out)) return false;
  const auto* context = static_cast<const ucontext_t*>(userContext);
  const greg_t* g = context->uc_mcontext.gregs;
  std::memset(out, 0, sizeof *out);
  out->exception = {static_cast<std::uint32_t>(g[REG_TRAPNO]), static_cast<std::uint32_t>(g[REG_ERR]),
                    static_cast<std::uint64_t>(g[REG_CR2])};
  static constexpr int order[] = {REG_RAX, REG_RBX, REG_RCX, REG_RDX, REG_RDI, REG_RSI, REG_RBP, REG_RSP,
                                  REG_R8,  REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15,
                                  REG_RIP, REG_EFL};
  for (std::size_t i = 0; i < sizeof order / sizeof order[0]; ++i) out->registers[i] = static_cast<std::uint64_t>(g[order[i]]);
  // cs, gs and fs share one word, 16 bits each.
  const auto segments = static_cast<std::uint64_t>(g[REG_CSGSFS]);
  out->registers[18] = segments & 0xFFFF;
  out->registers[19] = (segments >> 32) & 0xFFFF;
  out->registers[20] = (segments >> 16) & 0xFFFF;
  VRDReadMemory(reinterpret_cast<std::uint64_t>(context->uc_mcontext.fpregs), out->floatState, sizeof out->floatState);
  return true;
}

std::uint64_t VRDThreadContextGetPC(const VRDThreadState* state) noexcept {
  return valid(state) ? state->registers[VRDRegisterRIP] : 0;
}
bool VRDThreadContextSetPC(VRDThreadState* state, std::uint64_t value) noexcept {
  if (!valid(state)) return false;
  state->registers[VRDRegisterRIP] = value;
  return true;
}
std::uint64_t VRDThreadContextGetStackPointer(const VRDThreadState* state) noexcept {
  return valid(state) ? state->registers[VRDRegisterRSP] : 0;
}
bool VRDThreadContextSetStackPointer(VRDThreadState* state, std::uint64_t value) noexcept {
  if (!valid(state)) return false;
  state->registers[VRDRegisterRSP] = value;
  return true;
}
std::uint64_t VRDThreadContextGetFramePointer(const VRDThreadState* state) noexcept {
  return valid(state) ? state->registers[VRDRegisterRBP] : 0;
}
bool VRDThreadContextSetFramePointer(VRDThreadState* state, std::uint64_t value) noexcept {
  if (!valid(state)) return false;
  state->registers[VRDRegisterRBP] = value;
  return true;
}

}  // namespace crashreporting
