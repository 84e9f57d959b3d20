// Opt-in timings of the start-up phases, written to stderr.

#include "forms/StartupTrace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace startupTrace {

void mark(const char *phase)
{
    static const bool enabled = std::getenv("KESTRIN_STARTUP_TIMES") != nullptr;
    if (!enabled)
        return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::fprintf(stderr, "kestrin-startup %s %lld\n", phase,
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

} // namespace startupTrace
