#include "exports/CallGuard.h"

#include "exports/WorkingDirectory.h"
#include "runlog/ZkLogFile.h"

namespace {

const int kMemoryErrorCode = 13017;

}  // namespace

int FailCall(const char* subject) noexcept {
    try {
        GetLogger().Log(g_moduleName, 1, kMemoryErrorCode, subject != nullptr ? subject : "",
                        g_workingDirectory);
    } catch (...) {
        // Not even the entry fits: the result code is all the host gets.
    }
    return kResultOutOfMemory;
}
