// The part of the platform layer that is the same on every system: it needs
// only the C and C++ standard libraries and the system-specific functions.
#include "platform/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <new>

namespace platform {

std::FILE* OpenStream(const char* path, const char* mode, char* buffer, std::size_t size) {
    std::FILE* file = OpenFile(path, mode);
    if (file == nullptr) {
        if (errno == ENOMEM) throw std::bad_alloc();
        return nullptr;
    }
    std::setvbuf(file, buffer, buffer != nullptr ? _IOFBF : _IONBF, buffer != nullptr ? size : 0);
    return file;
}

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
