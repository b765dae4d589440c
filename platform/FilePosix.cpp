// POSIX side of the shared-folder file layer (platform/File.h).
#include "platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "platform/FileAccessPosix.h"
#include "platform/Platform.h"

namespace platform {

namespace {

constexpr int kOpenFlags = O_CLOEXEC | O_NONBLOCK;

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

std::FILE* File::Stream() {
    if (m_stream == nullptr && m_fd >= 0) {
        m_stream = fdopen(m_fd, m_mode);
        if (m_stream == nullptr) OutOfMemory();  // the descriptor is fine: only memory can fail
        m_fd = -1;
        std::setvbuf(m_stream, nullptr, _IONBF, 0);
    }
    return m_stream;
}

std::size_t File::Read(void* out, std::size_t size) {
    if (m_stream != nullptr) return std::fread(out, 1, size, m_stream);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = read(m_fd, static_cast<char*>(out) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool File::Write(const void* bytes, std::size_t size) {
    if (m_stream != nullptr) {
        if (std::fwrite(bytes, 1, size, m_stream) == size) return true;
        m_failed = true;
        return false;
    }
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = write(m_fd, static_cast<const char*>(bytes) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            m_failed = true;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::Seek(std::uint64_t offset) {
    if (m_stream != nullptr) return fseeko(m_stream, static_cast<off_t>(offset), SEEK_SET) == 0;
    return lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool File::Truncate(std::uint64_t size) {
    if (m_stream != nullptr && std::fflush(m_stream) != 0) return false;
    const int fd = m_stream != nullptr ? fileno(m_stream) : m_fd;
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    return static_cast<std::uint64_t>(st.st_size) <= size || ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool File::Close() {
    const bool written = !m_failed && (m_stream == nullptr || std::ferror(m_stream) == 0);
    const int error = errno;
    bool closed = true;
    if (m_stream != nullptr) {
        closed = std::fclose(m_stream) == 0;
    } else if (m_fd >= 0) {
        closed = close(m_fd) == 0;
    }
    m_stream = nullptr;
    m_fd = -1;
    m_failed = false;
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
    File file = FileAccess::Wrap(fd, "rb", st.st_size);
    if (buffer != nullptr) FileAccess::Buffer(file, buffer, size);
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
        return FileAccess::Wrap(fd, "a+b", held.st_size);
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

File OpenOutputFile(const char* path, bool regularOnly, OutputKind& kind) {
    kind = OutputKind{};
    struct stat st {};
    const bool named = stat(path, &st) == 0;
    if (named && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return File();
    }
    if (named && !S_ISREG(st.st_mode)) {
        if (regularOnly) {
            errno = ENXIO;
            return File();
        }
        // A pipe or device, opened for writing alone and without waiting: a
        // pipe nobody reads does not open (ENXIO). Once open, writes wait for
        // a reader that reads.
        const int fd = open(path, O_WRONLY | O_TRUNC | kOpenFlags);
        if (fd < 0) return File();
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return FileAccess::Wrap(fd, "wb");
    }
    // A regular file (or none yet), opened for reading as well where its
    // permissions allow, and emptied only once it is held: truncated at the
    // open, it could lose what another program is writing into it. Anything
    // else put in its place meanwhile takes neither the lock nor the cut.
    int fd = open(path, O_RDWR | O_CREAT | kOpenFlags, 0666);
    kind.readable = fd >= 0;
    if (fd < 0 && errno == EACCES) fd = open(path, O_WRONLY | O_CREAT | kOpenFlags, 0666);
    if (fd < 0) {
        if (errno == ENOMEM) OutOfMemory();
        return File();
    }
    const int locked = LockWhole(fd, MonotonicMilliseconds() + LockWaitMilliseconds());
    if (locked != 0 || ftruncate(fd, 0) != 0) {
        Refuse(fd, Refusal::Busy, locked != 0 ? locked : errno);
        return File();
    }
    kind.regular = true;
    return FileAccess::Wrap(fd, kind.readable ? "w+b" : "wb");
}

void RemoveAndClose(File& file, const char* path) {
    // Removed while it is still held, so that another program's file of the
    // same name, made once we let go, is never the one removed; through a
    // symbolic link, the file it names, as the open file tells.
    if (!file) return;
    const int fd = FileAccess::Descriptor(file);
    char named[PATH_MAX];
    const std::string self = "/proc/self/fd/" + std::to_string(fd >= 0 ? fd : fileno(file.Stream()));
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
    File out = FileAccess::Wrap(fd, "wb");
    char buffer[65536];
    bool ok = true;
    std::size_t n;
    while (ok && (n = in.Read(buffer, sizeof buffer)) > 0) ok = out.Write(buffer, n);
    return out.Close() && ok;
}

}  // namespace platform
