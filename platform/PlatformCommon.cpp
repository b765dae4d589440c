// The part of the platform layer that is the same on every system.
#include "platform/Platform.h"

#include <cstdlib>

namespace platform {

long LockWaitMilliseconds() {
    const char* given = std::getenv("ZK8_LOCK_WAIT_MS");
    if (given != nullptr && *given != '\0') {
        char* end = nullptr;
        const long milliseconds = std::strtol(given, &end, 10);
        if (*end == '\0' && milliseconds >= 0) return milliseconds;
    }
    return 30000;
}

}  // namespace platform
