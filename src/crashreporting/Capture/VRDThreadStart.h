#pragma once

// Every thread of the process gets an alternate signal stack, so that a stack overflow on any of them reaches
// the crash handler (the kernel cannot run a handler on a stack that is used up). The host does nothing for it:
// the library defines pthread_create, which every thread start goes through (std::thread, thread pools, the
// library's own queues); linked into the program, it comes before libc's (weakly: a host's own definition wins,
// and the start logs that its threads go uncovered), and starts the new thread through a
// function that maps the thread a stack, runs the thread's own function and takes the stack back when the
// thread ends (by return, pthread_exit or cancellation). Threads already running when capture starts are asked
// to take one through the thread-capture signal; one that blocks it is named in the log instead.

namespace crashreporting {

/// Set-up, before the library starts threads of its own: new threads get stacks from now on.
void VRDThreadStartEnable() noexcept;
/// Set-up job (after the thread-capture signal is chosen): the threads running now that have no alternate stack
/// are given one; returns how many could not be (they are named in the log).
int VRDThreadStartGiveRunningThreadsAltStacks();
/// Set-up job: logs what the thread start cannot cover (`signal` is the one sent to the running threads).
void VRDThreadStartLogCoverage(int signal);
/// New threads start without a stack of ours again (a test process that resets its context).
void VRDThreadStartStop() noexcept;
/// Whether threads started now get a stack.
bool VRDThreadStartGivesAltStacks() noexcept;

}  // namespace crashreporting
