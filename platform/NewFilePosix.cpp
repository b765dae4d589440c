// POSIX side of NewFile (platform/File.h): the file Temp.xml is written to
// before it has its name.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>

#include "platform/FileAccessPosix.h"
#include "platform/Platform.h"

namespace platform {

namespace {

// A name for a new file in `folder` that no one is likely to have made:
// hidden, and random (no system call).
std::string UniqueName(const std::string& folder) {
    static std::minstd_rand generator(static_cast<unsigned>(time(nullptr)) ^ static_cast<unsigned>(clock()));
    return folder + "/.Temp.xml." + std::to_string(generator()) + std::to_string(generator());
}

}  // namespace

NewFile::~NewFile() {
    m_file.Close();
    if (!m_name.empty()) unlink(m_name.c_str());
}

bool NewFile::Create(const std::string& folder) {
    m_folder = folder;
#ifdef O_TMPFILE
    const int unnamed = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        m_file = FileAccess::Wrap(unnamed, "w+b");
        return true;
    }
    // EISDIR, EINVAL, EOPNOTSUPP: a system or file system without O_TMPFILE.
    if (errno != EISDIR && errno != EINVAL && errno != EOPNOTSUPP) {
        if (errno == ENOMEM) OutOfMemory();
        return false;
    }
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Named before the file is made, so that no allocation comes between
        // the making and the name that removes it again.
        m_name = UniqueName(folder);
        const int fd = open(m_name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            m_file = FileAccess::Wrap(fd, "w+b");
            return true;
        }
        m_name.clear();
        if (errno != EEXIST) {
            if (errno == ENOMEM) OutOfMemory();
            return false;
        }
    }
    return false;
}

bool NewFile::Publish(const std::string& path) {
    if (!m_file) return false;
    const int fd = FileAccess::Descriptor(m_file);
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    // An unnamed file gets a unique name first: only a rename replaces a
    // name in one step. The name is held before the link is made (see
    // Create). A program that may (root) links the descriptor itself;
    // others through /proc.
    static bool linkByDescriptor = true;
    for (int attempt = 0; m_name.empty(); ++attempt) {
        m_name = UniqueName(m_folder);
        int linked = -1;
        if (linkByDescriptor) {
            linked = linkat(fd, "", AT_FDCWD, m_name.c_str(), AT_EMPTY_PATH);
            // ENOENT: the program may not link by descriptor (not root).
            if (linked != 0 && errno == ENOENT) linkByDescriptor = false;
        }
        if (!linkByDescriptor) {
            linked = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, m_name.c_str(), AT_SYMLINK_FOLLOW);
        }
        if (linked == 0) break;
        m_name.clear();
        if (errno != EEXIST || attempt == 100) return false;
    }
    if (std::rename(m_name.c_str(), path.c_str()) != 0) return false;
    m_name.clear();
    return true;
}

}  // namespace platform
