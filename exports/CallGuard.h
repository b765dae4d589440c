// Every export runs its body through GuardedCall: nothing escapes to the
// host, which may be driving scales in the same process. A call that runs
// out of memory (the library's own allocations or pugixml's, see
// CAllocationWatch) returns kResultOutOfMemory, gives back what it had
// built, and leaves run-log entry 13017 ("Memory error") if the logger can
// still write one. The next call starts from a clean converter.
#pragma once

#include "converter/AllocationWatch.h"
#include "converter/OutputFile.h"

constexpr int kResultOutOfMemory = -96;

// Ends a call that threw: frees the run's memory, logs, returns the code.
int FailCall(const char* subject) noexcept;

template <typename Body>
int GuardedCall(const char* subject, Body body) noexcept {
    try {
        ForgetOutputFailures();
        CAllocationWatch watch;
        return body();
    } catch (...) {
        return FailCall(subject);
    }
}
