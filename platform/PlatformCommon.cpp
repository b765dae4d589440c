// The part of the platform layer that is the same on every system.
#include "platform/File.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform {

void CopyCut(const char* src, char* out, std::size_t size) {
    if (size == 0) return;
    std::strncpy(out, src, size - 1);
    out[size - 1] = '\0';
}

File::~File() { Close(); }

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        std::swap(m_stream, other.m_stream);
        std::swap(m_fd, other.m_fd);
        std::swap(m_mode, other.m_mode);
        std::swap(m_failed, other.m_failed);
        std::swap(m_size, other.m_size);
        std::swap(m_held, other.m_held);
    }
    return *this;
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
