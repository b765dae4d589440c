// What the POSIX files of the file layer share: making a File of a
// descriptor and reaching a File's descriptor (File befriends FileAccess).
#pragma once

#include <cstdio>
#include <new>

#include "platform/File.h"

namespace platform {

struct FileAccess {
    // The file of a descriptor; a stream over it is made when one is asked
    // for, opened with `mode`.
    static File Wrap(int fd, const char* mode, long long size = -1) {
        File file;
        file.m_fd = fd;
        file.m_mode = mode;
        file.m_size = size;
        return file;
    }
    static int Descriptor(const File& file) { return file.m_fd; }
    static void Buffer(File& file, char* buffer, std::size_t size) {
        std::setvbuf(file.Stream(), buffer, _IOFBF, size);
    }
};

// A system call that failed for want of memory: the call fails as any
// allocation does.
[[noreturn]] inline void OutOfMemory() { throw std::bad_alloc(); }

}  // namespace platform
