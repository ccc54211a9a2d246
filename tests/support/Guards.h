// Small helpers for tests of failures: the text of a stream error, and a guard that ends a test process that
// waits too long (an open of a FIFO without a writer) instead of letting it hang the run.
#pragma once

#include <functional>
#include <string>
#include <unistd.h>

#include "platform/Stream.h"

// The message of the EStreamError that `f` raises, or "no error".
inline std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EStreamError& e) {
        return e.what();
    }
    return "no error";
}

// SIGALRM ends the process after `seconds` unless the guard is gone by then.
struct HangGuard {
    explicit HangGuard(unsigned seconds = 10) { alarm(seconds); }
    ~HangGuard() { alarm(0); }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;
};
