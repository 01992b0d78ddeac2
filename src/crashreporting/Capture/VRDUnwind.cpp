#include "crashreporting/Capture/VRDUnwind.h"

#include <cstring>

#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSafeRead.h"

namespace crashreporting {
namespace {

bool valid(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer) >= VRDMinimumValidAddress; }

bool unwindWithStackScan(VRDUnwindContext* context) noexcept {
  const std::uint64_t sp = VRDThreadContextGetStackPointer(&context->registers);
  const std::uint64_t fp = VRDThreadContextGetFramePointer(&context->registers);
  // Optimised code uses RBP as it likes: a value below SP is no frame to stop at, and the scan is bounded alone.
  // (RBP equal to SP is a frame just set up: nothing lies between, and the chain follows.)
  const std::uint64_t limit = sp + VRDUnwindMaximumScanWords * 8;
  const std::uint64_t end = fp >= sp && fp < limit ? fp : limit;
  std::uint64_t pc = 0;
  std::uint64_t at = 0;
  if (!VRDUnwindFirstExecutableAddress(sp, end, &pc, &at)) return false;
  // The caller's SP lies past the return address, as after its `ret`: its own rules start from there.
  return VRDThreadContextSetPC(&context->registers, pc) && VRDThreadContextSetStackPointer(&context->registers, at + 8);
}

bool unwindWithFramePointerChain(VRDUnwindContext* context) noexcept {
  const std::uint64_t fp = VRDThreadContextGetFramePointer(&context->registers);
  std::uint64_t frame[2];
  if (!VRDReadablePagesRead(VRDUnwindCachePages(context->cache), fp, frame, sizeof frame)) {
    VRDLogWarn("Error: failed to read memory at address %p\n", reinterpret_cast<void*>(fp));
    return false;
  }
  // A caller's frame lies above its callee's; a chain that does not climb ends after this frame.
  const std::uint64_t savedFP = frame[0] > fp ? frame[0] : 0;
  return VRDThreadContextSetPC(&context->registers, frame[1]) &&
         VRDThreadContextSetFramePointer(&context->registers, savedFP) &&
         VRDThreadContextSetStackPointer(&context->registers, fp + 16);
}

bool unwindWithFramePointer(VRDUnwindContext* context, bool tryStackScan) noexcept {
  if (tryStackScan) {
    VRDLogInfo("Attempting stack scan\n");
    if (unwindWithStackScan(context)) {
      VRDLogInfo("Stack scan successful\n");
      return true;
    }
  }
  return unwindWithFramePointerChain(context);
}

VRDDwarfStep unwindWithDwarf(VRDUnwindContext* context, const VRDBinaryImageNode& image, std::uint64_t pc) noexcept {
  VRDUnwindRows scratch;
  const VRDUnwindImage sections{image.ehFrameHdr, image.ehFrame, image.unwindSegmentStart, image.unwindSegmentEnd};
  const VRDUnwindRows* rows = VRDUnwindCacheFindRowsInImage(context->cache, sections, pc, &scratch);
  if (!rows->found) return VRDDwarfStep::Failed;
  const VRDDwarfStep step =
      VRDDwarfUnwindApplyRules(&rows->rules, &context->registers, VRDUnwindCachePages(context->cache));
  if (step == VRDDwarfStep::Failed) VRDLogError("Failed to compute DWARF registers\n");
  // Past a signal frame the PC is the interrupted instruction itself.
  if (step == VRDDwarfStep::Unwound) context->pcIsReturnAddress = !rows->signalFrame;
  return step;
}

// How a step ended: a new frame, the normal end of the stack, or a failure.
enum class Step { Advanced, Ended, Failed };

// A first PC that is no code address (a call through a null function pointer faults on fetching it) left the
// call's return address at SP, exactly: it is the caller's PC.
bool callerFromStackPointer(VRDUnwindContext* context) noexcept {
  const std::uint64_t sp = VRDThreadContextGetStackPointer(&context->registers);
  std::uint64_t returnAddress = 0;
  if (!VRDReadablePagesRead(VRDUnwindCachePages(context->cache), sp, &returnAddress, sizeof returnAddress)) {
    VRDLogWarn("Error: failed to read memory at address %p\n", reinterpret_cast<void*>(sp));
    return false;
  }
  context->pcIsReturnAddress = true;
  return VRDThreadContextSetPC(&context->registers, returnAddress) &&
         VRDThreadContextSetStackPointer(&context->registers, sp + 8);
}

Step nextFrameUsingAllStrategies(VRDUnwindContext* context) noexcept {
  if (context->frameCount >= VRDUnwindMaximumFrames) {
    VRDLogWarn("Exceeded maximum number of frames\n");
    return Step::Failed;
  }
  const std::uint64_t pc = VRDThreadContextGetPC(&context->registers);
  if (context->callerAtStackPointer) {
    context->callerAtStackPointer = false;
    if (!callerFromStackPointer(context)) return Step::Failed;
  } else if (pc < VRDMinimumValidAddress) {
    VRDLogError("PC is invalid\n");
    return Step::Failed;
  } else if (context->frameCount > 0) {
    // A return address points after its call; an exact PC from a register state does not.
    const std::uint64_t lookup = context->pcIsReturnAddress ? pc - 1 : pc;
    VRDDwarfStep step = VRDDwarfStep::Failed;
    VRDBinaryImageNode& image = context->image;
    const bool sameImage = image.base != 0 && lookup >= image.base && lookup - image.base < image.size;
    if (!sameImage && !VRDBinaryImageSafeFindImageForAddress(lookup, &image)) {
      image.base = 0;
      VRDLogWarn("Unable to find binary for %p\n", reinterpret_cast<void*>(lookup));
    } else {
      // Every frame at DEBUG: the level is looked at first, so a walk at a higher one makes no call per frame.
      if (VRDSDKLogWants(VRDLogLevelDebug)) {
        VRDLogDebug("Binary image for %p at %p\n", reinterpret_cast<void*>(lookup), reinterpret_cast<void*>(image.base));
      }
      if (image.ehFrameHdr == 0) {
        VRDLogInfo("Binary image at %p has no unwind info\n", reinterpret_cast<void*>(image.base));
      } else {
        step = unwindWithDwarf(context, image, lookup);
      }
    }
    // The call-frame information says this is the outermost frame (`_start`, a thread's start).
    if (step == VRDDwarfStep::EndOfStack) return Step::Ended;
    if (step == VRDDwarfStep::Failed) {
      if (VRDThreadContextGetFramePointer(&context->registers) == 0) {
        // The end of a frame-pointer chain.
        VRDLogDebug("FP is zero, aborting unwind\n");
        if (!VRDThreadContextSetPC(&context->registers, 0)) return Step::Failed;
      } else if (!unwindWithFramePointer(context, context->frameCount == 1)) {
        VRDLogError("Unable to use frame pointer\n");
        return Step::Failed;
      }
      context->pcIsReturnAddress = true;
    }
  }
  const std::uint64_t newPC = VRDThreadContextGetPC(&context->registers);
  const std::uint64_t sp = VRDThreadContextGetStackPointer(&context->registers);
  // A return address of 0 ends the chain.
  if (newPC < VRDMinimumValidAddress) return newPC == 0 ? Step::Ended : Step::Failed;
  if (sp < VRDMinimumValidAddress) {
    VRDLogWarn("Error: SP (%p) isn't a valid pointer\n", reinterpret_cast<void*>(sp));
    return Step::Failed;
  }
  context->repeatCount = context->lastPC == newPC ? context->repeatCount + 1 : 0;
  ++context->frameCount;
  context->lastPC = newPC;
  return Step::Advanced;
}

}  // namespace

bool VRDUnwindInit(VRDUnwindContext* context, const VRDThreadState* state, VRDUnwindCache* cache) noexcept {
  if (!valid(context) || !valid(state)) return false;
  std::memset(context, 0, sizeof *context);
  context->registers = *state;
  context->cache = cache;
  return true;
}

bool VRDUnwindNextFrame(VRDUnwindContext* context) noexcept {
  if (!valid(context)) {
    VRDLogWarn("Error: invalid inputs\n");
    return false;
  }
  const std::uint64_t pc = VRDThreadContextGetPC(&context->registers);
  const std::uint64_t sp = VRDThreadContextGetStackPointer(&context->registers);
  if (pc < VRDMinimumValidAddress && sp >= VRDMinimumValidAddress && context->frameCount == 0) {
    // The fault's own PC is frame 0, as it is; the next step takes the caller from the stack.
    VRDLogWarn("Invalid PC %p: its caller is taken from the stack pointer\n", reinterpret_cast<void*>(pc));
    context->callerAtStackPointer = true;
    context->frameCount = 1;
    context->lastPC = pc;
    return true;
  }
  if ((pc < VRDMinimumValidAddress && !context->callerAtStackPointer) || sp < VRDMinimumValidAddress) {
    if (context->frameCount == 0) {
      VRDLogWarn("Cancelling unwind for thread with invalid PC/SP\n");
    } else {
      VRDLogWarn("Error: thread PC/SP invalid before unwind\n");
    }
    return false;
  }
  switch (nextFrameUsingAllStrategies(context)) {
    case Step::Advanced: return true;
    case Step::Ended:
      VRDLogDebug("Reached the end of the stack after %u frames\n", context->frameCount);
      return false;
    case Step::Failed: break;
  }
  VRDLogError("Failed to advance to the next frame\n");
  return false;
}

std::uint64_t VRDUnwindGetPC(const VRDUnwindContext* context) noexcept {
  return valid(context) ? VRDThreadContextGetPC(&context->registers) : 0;
}

std::uint64_t VRDUnwindGetStackPointer(const VRDUnwindContext* context) noexcept {
  return valid(context) ? VRDThreadContextGetStackPointer(&context->registers) : 0;
}

std::uint32_t VRDUnwindGetFrameRepeatCount(const VRDUnwindContext* context) noexcept {
  return valid(context) ? context->repeatCount : 0;
}

bool VRDUnwindPCIsReturnAddress(const VRDUnwindContext* context) noexcept {
  return valid(context) && context->pcIsReturnAddress;
}

bool VRDUnwindIsAddressExecutable(std::uint64_t address) noexcept {
  VRDBinaryImageNode image;
  return VRDBinaryImageSafeFindImageForAddress(address, &image);
}

bool VRDUnwindFirstExecutableAddress(std::uint64_t start, std::uint64_t end, std::uint64_t* value,
                                     std::uint64_t* at) noexcept {
  for (std::uint64_t address = start; address + 8 <= end; address += 8) {
    std::uint64_t word = 0;
    if (!VRDReadMemory(address, &word, sizeof word)) return false;
    VRDLogDebug("Checking address %p => %p\n", reinterpret_cast<void*>(address), reinterpret_cast<void*>(word));
    VRDLogDebug("Checking for executable %p\n", reinterpret_cast<void*>(word));
    if (VRDUnwindIsAddressExecutable(word)) {
      *value = word;
      if (at != nullptr) *at = address;
      return true;
    }
  }
  return false;
}

}  // namespace crashreporting
