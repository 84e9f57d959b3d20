#pragma once
// Opt-in timings of the start-up phases, for the start-up benchmark's breakdown.

namespace startupTrace {

// With KESTRIN_STARTUP_TIMES set in the environment, writes "kestrin-startup PHASE NS" to
// stderr: the phase that just ended and the monotonic clock in nanoseconds (the clock
// std::chrono::steady_clock reads, so another process can subtract its own readings).
// Does nothing otherwise.
void mark(const char *phase);

} // namespace startupTrace
