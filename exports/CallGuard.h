// Every export runs its body through GuardedCall: nothing escapes to the
// host, which may be driving scales in the same process. A call that runs
// out of memory (the library's own allocations or pugixml's, see
// CAllocationWatch) returns kResultOutOfMemory, gives back what it had
// built (every run object goes as the exception unwinds), and leaves
// run-log entry 13017 ("Memory error") if the logger can still write one.
// The next call starts from a clean converter.
//
// The guard also makes the calls of a host's threads run one at a time: the
// library's state (the converter, the working directory, the option
// switches, Temp.xml) is the process's, so a call holds the call lock from
// its first step to its result. Each call then sees only what it set
// itself, and its result and files are those of some one-at-a-time order.
#pragma once

#include "converter/AllocationWatch.h"
#include "converter/OutputFile.h"
#include "platform/Platform.h"
#include "runlog/ZkLogFile.h"

constexpr int kResultOutOfMemory = -96;

// Ends a call that threw: logs, returns the code.
int FailCall(const char* subject) noexcept;

// Holds the call lock for one scope.
class CallLockScope {
public:
    CallLockScope() noexcept { platform::EnterCallLock(); }
    ~CallLockScope() { platform::LeaveCallLock(); }
    CallLockScope(const CallLockScope&) = delete;
    CallLockScope& operator=(const CallLockScope&) = delete;
};

template <typename Body>
int GuardedCall(const char* subject, Body body) noexcept {
    const CallLockScope oneAtATime;
    try {
        ForgetOutputFailures();
        CAllocationWatch watch;
        // The call's run-log entries go out together at its end (before the
        // entry of a failure, which the catch below writes).
        const CLogBatch entries;
        return body();
    } catch (...) {
        return FailCall(subject);
    }
}
