// POSIX side of the shared-folder file layer (platform/File.h).
#include "platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <new>
#include <random>

#include "platform/Platform.h"

namespace platform {

struct FileAccess {
    static File Wrap(std::FILE* stream) {
        File file;
        file.m_stream = stream;
        return file;
    }
    static void SetSize(File& file, long long size) { file.m_size = size; }
};

namespace {

constexpr int kOpenFlags = O_CLOEXEC | O_NONBLOCK;

[[noreturn]] void OutOfMemory() { throw std::bad_alloc(); }

// A stream over an open descriptor, without a buffer of the system's: the
// caller's, or none. The descriptor is closed when no stream can be had.
File Stream(int fd, const char* mode, char* buffer = nullptr, std::size_t size = 0) {
    std::FILE* stream = fdopen(fd, mode);
    if (stream == nullptr) {
        const int error = errno;
        close(fd);
        if (error == ENOMEM) OutOfMemory();
        errno = error;
        return File();
    }
    std::setvbuf(stream, buffer, buffer != nullptr ? _IOFBF : _IONBF, buffer != nullptr ? size : 0);
    return FileAccess::Wrap(stream);
}

Refusal RefusalOf(int error) {
    switch (error) {
        case ENOENT: return Refusal::Missing;
        case ELOOP: return Refusal::Link;
        case ENXIO: return Refusal::NotRegular;  // a socket, or a pipe without a reader
        case EISDIR: return Refusal::Folder;
        case ENOMEM: OutOfMemory();
        default: return Refusal::Failed;
    }
}

// Closes `fd`, noting why it was refused.
Refusal Refuse(int fd, Refusal why, int error) {
    close(fd);
    errno = error;
    return why;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

long long MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Takes the whole file's lock on the descriptor itself (an open-file-
// description lock: the kernel drops it with the last descriptor, when the
// program ends at the latest), waiting until the deadline. 0, or the errno
// that ended the wait (EBUSY when the time ran out).
int LockWhole(int fd, long long deadline) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;  // start 0, length 0: the whole file
    long pause = 1;
    for (;;) {
        if (fcntl(fd, F_OFD_SETLK, &whole) == 0) return 0;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EACCES) return errno;
        const long long left = deadline - MonotonicMilliseconds();
        if (left <= 0) return EBUSY;
        const long sleep = static_cast<long>(std::min<long long>(pause, left));
        timespec wait{sleep / 1000, (sleep % 1000) * 1000000L};
        nanosleep(&wait, nullptr);
        pause = std::min(pause * 2, 50L);
    }
}

}  // namespace

bool File::Close() {
    std::FILE* stream = m_stream;
    m_stream = nullptr;
    if (stream == nullptr) return true;
    errno = 0;
    const bool written = std::ferror(stream) == 0;
    const int error = errno;
    const bool closed = std::fclose(stream) == 0;
    if (!written && closed) errno = error != 0 ? error : EIO;
    return written && closed;
}

File OpenToRead(const char* path, Links links, Refusal& why, char* buffer, std::size_t size) {
    why = Refusal::None;
    // O_NONBLOCK: a pipe opens at once, writer or not, and is then refused.
    const int fd = open(path, O_RDONLY | kOpenFlags | (links == Links::NotLast ? O_NOFOLLOW : 0));
    if (fd < 0) {
        why = RefusalOf(errno);
        return File();
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        why = Refuse(fd, folder ? Refusal::Folder : Refusal::NotRegular, folder ? EISDIR : ENXIO);
        return File();
    }
    // O_NONBLOCK stays: it changes nothing for a regular file.
    File file = Stream(fd, "rb", buffer, size);
    if (!file) why = Refusal::Failed;
    FileAccess::SetSize(file, st.st_size);
    return file;
}

void CreateEmptyFile(const char* path) {
    // O_EXCL: a name that exists, also as a link, is left as it is.
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | kOpenFlags, 0666);
    if (fd >= 0) close(fd);
}

File OpenOwnToAppend(const char* path, Refusal& why) {
    why = Refusal::None;
    const long long deadline = MonotonicMilliseconds() + LockWaitMilliseconds();
    // The holder before us may have moved the file away and made a new one
    // (a rotation): we then hold the old file, and try the new one.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int fd = open(path, O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | kOpenFlags, 0666);
        if (fd < 0) {
            why = RefusalOf(errno);
            return File();
        }
        // Another user's file, or one with a second name (a hard link made
        // by another user could be a file that matters elsewhere), is not
        // written, nor waited for. The run log's own rotation never gives it
        // a second name (MovePath).
        struct stat held {};
        if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            why = Refuse(fd, S_ISDIR(held.st_mode) ? Refusal::Folder : Refusal::NotRegular, ENXIO);
            return File();
        }
        if (held.st_uid != geteuid() || held.st_nlink > 1) {
            why = Refuse(fd, Refusal::NotOurs, EPERM);
            return File();
        }
        const int locked = LockWhole(fd, deadline);
        if (locked != 0) {
            why = Refuse(fd, locked == EBUSY ? Refusal::Busy : Refusal::Failed, locked);
            return File();
        }
        // Removed or moved away meanwhile: the name's file is taken instead.
        struct stat named {};
        if (held.st_nlink == 0 || lstat(path, &named) != 0 || !SameFile(held, named)) {
            close(fd);
            continue;
        }
        // O_NONBLOCK stays: it changes nothing for a regular file.
        File file = Stream(fd, "a+b");
        if (!file) why = Refusal::Failed;
        FileAccess::SetSize(file, held.st_size);
        return file;
    }
    why = Refusal::Busy;
    errno = EBUSY;
    return File();
}

bool MoveAndClose(File& file, const char* path, const char* saveName) {
    // Moved while the descriptor, and with it the lock, is still held.
    DeleteFilePath(saveName);
    const bool moved = MovePath(path, saveName);
    if (moved) CreateEmptyFile(path);
    return file.Close() && moved;
}

NewFile::~NewFile() {
    m_file.Close();
    if (!m_name.empty()) unlink(m_name.c_str());
}

bool NewFile::Create(const std::string& folder, char* buffer, std::size_t size) {
    m_folder = folder;
#ifdef O_TMPFILE
    const int unnamed = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        m_file = Stream(unnamed, "w+b", buffer, size);
        return static_cast<bool>(m_file);
    }
    // EISDIR, EINVAL, EOPNOTSUPP: a system or file system without O_TMPFILE.
    if (errno != EISDIR && errno != EINVAL && errno != EOPNOTSUPP) {
        if (errno == ENOMEM) OutOfMemory();
        return false;
    }
#endif
    static std::minstd_rand generator(static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr)));
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Named before the file is made, so that no allocation comes between
        // the making and the name that removes it again.
        m_name = folder + "/.Temp.xml." + std::to_string(getpid()) + "." + std::to_string(generator());
        const int fd = open(m_name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            m_file = Stream(fd, "w+b", buffer, size);
            return static_cast<bool>(m_file);
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
    if (std::fflush(m_file.Get()) != 0) return false;
    const int fd = fileno(m_file.Get());
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    // An unnamed file gets a unique name first: only a rename replaces a
    // name in one step. The name is held before the link is made (see
    // Create).
    for (int attempt = 0; m_name.empty(); ++attempt) {
        m_name = m_folder + "/.Temp.xml." + std::to_string(getpid()) + "." + std::to_string(attempt);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, m_name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            linkat(fd, "", AT_FDCWD, m_name.c_str(), AT_EMPTY_PATH) == 0) {
            break;
        }
        m_name.clear();
        if (errno != EEXIST || attempt == 100) return false;
    }
    if (std::rename(m_name.c_str(), path.c_str()) != 0) return false;
    m_name.clear();
    return true;
}

File OpenOutputFile(const char* path, bool regularOnly, OutputKind& kind) {
    kind = OutputKind{};
    struct stat st {};
    const bool existed = stat(path, &st) == 0;
    const bool regular = !existed || S_ISREG(st.st_mode);
    if (!regular && regularOnly) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
        return File();
    }
    // O_NONBLOCK: a pipe without a reader fails at once (ENXIO) instead of
    // waiting for one. A regular file is emptied only once it is held:
    // truncated at the open, it could lose what another program is writing
    // into it.
    const int flags = O_CREAT | kOpenFlags | (regular ? 0 : O_TRUNC);
    int fd = regular ? open(path, O_RDWR | flags, 0666) : -1;
    kind.readable = fd >= 0;
    if (fd < 0) fd = open(path, O_WRONLY | flags, 0666);
    if (fd < 0) {
        if (errno == ENOMEM) OutOfMemory();
        return File();
    }
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || (regularOnly && !S_ISREG(st.st_mode))) {
        Refuse(fd, Refusal::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : ENXIO);
        return File();
    }
    kind.regular = S_ISREG(st.st_mode);
    // Writes to a pipe or device wait for a reader that reads.
    if (!kind.regular) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // A file made here goes again when it cannot be used (through a symbolic
    // link, the file it names); one that was there is still untouched.
    const auto dropMade = [&] {
        char resolved[PATH_MAX];
        if (!existed) unlink(realpath(path, resolved) != nullptr ? resolved : path);
    };
    File file;
    try {
        file = Stream(fd, kind.readable ? "w+b" : "wb");
    } catch (...) {
        dropMade();
        throw;
    }
    if (!file) {
        dropMade();
        return file;
    }
    if (kind.regular) {
        const int locked = LockWhole(fd, MonotonicMilliseconds() + LockWaitMilliseconds());
        if (locked != 0 || ftruncate(fd, 0) != 0) {
            const int error = locked != 0 ? locked : errno;
            file.Close();
            errno = error;
            return File();
        }
    }
    return file;
}

void RemoveAndClose(File& file, const char* path) {
    // Removed while it is still held, so that another program's file of the
    // same name, made once we let go, is never the one removed; through a
    // symbolic link, the file it names, as the open file tells.
    if (!file) return;
    char named[PATH_MAX];
    const std::string self = "/proc/self/fd/" + std::to_string(fileno(file.Get()));
    const ssize_t length = readlink(self.c_str(), named, sizeof named - 1);
    if (length > 0) named[length] = '\0';
    unlink(length > 0 ? named : path);
    file.Close();
}

bool CopyFileReplacing(const char* source, const char* target) {
    Refusal why;
    File in = OpenToRead(source, Links::NotLast, why);
    if (!in) return false;
    // Emptied only once it is known to be ours.
    const int fd = open(target, O_WRONLY | O_NOFOLLOW | kOpenFlags);
    if (fd < 0) {
        if (errno == ENOMEM) OutOfMemory();
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1 ||
        ftruncate(fd, 0) != 0) {
        close(fd);
        return false;
    }
    fchmod(fd, (st.st_mode & 07777) | S_IWUSR);
    bool ok = true;
    char buffer[65536];
    std::size_t n;
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, in.Get())) > 0) {
        for (std::size_t done = 0; ok && done < n;) {
            const ssize_t written = write(fd, buffer + done, n - done);
            if (written < 0 && errno == EINTR) continue;
            ok = written > 0;
            if (ok) done += static_cast<std::size_t>(written);
        }
    }
    if (std::ferror(in.Get())) ok = false;
    return close(fd) == 0 && ok;
}

}  // namespace platform
