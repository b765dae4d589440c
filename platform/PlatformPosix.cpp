// POSIX side of the platform layer.
#include "platform/Platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <random>

namespace platform {

const char kPathSeparator = '/';

namespace {

const char kHostModuleName[] = "libZKHost.so";

void CopyCut(const char* src, char* out, std::size_t size) {
    if (size == 0) return;
    std::strncpy(out, src, size - 1);
    out[size - 1] = '\0';
}

int FindHostModule(struct dl_phdr_info* info, std::size_t, void* data) {
    const char* name = info->dlpi_name;
    if (name == nullptr || *name == '\0') return 0;
    const char* slash = std::strrchr(name, '/');
    const char* base = slash ? slash + 1 : name;
    if (std::strcmp(base, kHostModuleName) != 0) return 0;
    *static_cast<std::string*>(data) = name;
    return 1;
}

}  // namespace

bool GetHostModulePath(char* out, std::size_t size) {
    std::string found;
    dl_iterate_phdr(FindHostModule, &found);
    if (found.empty()) return GetExecutablePath(out, size);
    CopyCut(found.c_str(), out, size);
    return out[0] != '\0';
}

bool GetExecutablePath(char* out, std::size_t size) {
    if (size == 0) return false;
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        out[0] = '\0';
        return false;
    }
    buffer[n] = '\0';
    CopyCut(buffer, out, size);
    return true;
}

std::string DriveAndDirectory(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) return std::string();
    return std::string(path, slash + 1);
}

bool GetCurrentDirectoryPath(char* out, std::size_t size) {
    if (size == 0) return false;
    if (getcwd(out, size) == nullptr) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool PathExists(const char* path) {
    if (path == nullptr) return true;
    struct stat st;
    return stat(path, &st) == 0;
}

bool IsRegularFile(std::FILE* file) {
    struct stat st;
    return fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::FILE* OpenFile(const char* path, const char* mode) {
    std::FILE* file = std::fopen(path, mode);
    struct stat st;
    if (file != nullptr && fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
}

bool ResolvePath(const char* path, char* out, std::size_t size) {
    char resolved[PATH_MAX];
    const char* found = realpath(path, resolved) != nullptr ? resolved : path;
    if (std::strlen(found) >= size) return false;
    std::strcpy(out, found);
    return true;
}

std::FILE* OpenOutputFile(const char* path, bool& readable) {
    // O_NONBLOCK: a pipe without a reader fails at once (ENXIO) instead of
    // waiting for one. Cleared once open, so that writes wait for a reader
    // that reads.
    const int flags = O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC;
    struct stat st;
    const bool regular = stat(path, &st) != 0 || S_ISREG(st.st_mode);
    int fd = regular ? open(path, O_RDWR | flags, 0666) : -1;
    readable = fd >= 0;
    if (fd < 0) fd = open(path, O_WRONLY | flags, 0666);
    if (fd < 0) {
        if (errno == ENOMEM) throw std::bad_alloc();
        return nullptr;
    }
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, readable ? "w+b" : "wb");
    if (file == nullptr) {
        // The file is made or emptied already: a call that stops here leaves
        // none (through a symbolic link, the file it names).
        const int error = errno;
        close(fd);
        if (regular) {
            char resolved[PATH_MAX];
            unlink(ResolvePath(path, resolved, sizeof resolved) ? resolved : path);
        }
        if (error == ENOMEM) throw std::bad_alloc();
        errno = error;
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

bool TruncateFile(std::FILE* file, std::uint64_t size) {
    struct stat st;
    if (std::fflush(file) != 0 || fstat(fileno(file), &st) != 0) return false;
    if (static_cast<std::uint64_t>(st.st_size) <= size) return true;
    return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
}

namespace {

// A change this long ago cannot share a time stamp with a later one, however
// coarse the file system's clock.
constexpr long long kSettledSeconds = 2;

}  // namespace

FileStamp GetFileStamp(const char* path) {
    FileStamp stamp;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct stat st;
    if (path == nullptr || stat(path, &st) != 0) return stamp;
    stamp.exists = true;
    if (!S_ISREG(st.st_mode)) return stamp;
    stamp.known = true;
    stamp.device = static_cast<unsigned long long>(st.st_dev);
    stamp.inode = static_cast<unsigned long long>(st.st_ino);
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.modifiedSeconds = st.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = st.st_mtim.tv_nsec;
    stamp.changedSeconds = st.st_ctim.tv_sec;
    stamp.changedNanoseconds = st.st_ctim.tv_nsec;
    // The change time, unlike the modification time, cannot be set back.
    stamp.settled = static_cast<long long>(now.tv_sec) - stamp.changedSeconds > kSettledSeconds;
    return stamp;
}

int GetCommonAppDataFolder(char* out, std::size_t size) {
    const char* value = std::getenv("ZK8_COMMON_APPDATA");
    if (value == nullptr) value = "/var/lib";
    if (*value == '\0' || std::strlen(value) >= size) return -1;
    CopyCut(value, out, size);
    return 0;
}

int GetVersionClass() { return 2; }

bool CreateUniqueTempFile(const char* folder, char* out, std::size_t size) {
    static std::minstd_rand generator(static_cast<unsigned>(std::time(nullptr)) ^
                                      static_cast<unsigned>(getpid()));
    for (int attempt = 0; attempt < 65536; ++attempt) {
        unsigned number = (generator() % 0xFFFF) + 1;
        char name[16];
        std::snprintf(name, sizeof name, "%04X.TMP", number);
        std::string path = std::string(folder) + kPathSeparator + name;
        if (path.size() >= size) return false;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            close(fd);
            CopyCut(path.c_str(), out, size);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool CopyFileReplacing(const char* src, const char* dst) {
    FILE* in = OpenStream(src, "rb");
    if (in == nullptr) return false;
    FILE* out = nullptr;
    try {
        out = OpenStream(dst, "wb");
    } catch (...) {
        std::fclose(in);
        throw;
    }
    if (out == nullptr) {
        std::fclose(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        if (std::fwrite(buffer, 1, n, out) != n) {
            ok = false;
            break;
        }
    }
    if (std::ferror(in)) ok = false;
    std::fclose(in);
    if (std::fclose(out) != 0) ok = false;
    return ok;
}

void SetNormalAttributes(const char* path) {
    struct stat st;
    if (stat(path, &st) == 0) chmod(path, st.st_mode | S_IWUSR);
}

bool DeleteFilePath(const char* path) { return unlink(path) == 0; }

bool MovePath(const char* from, const char* to) {
    // rename() would replace an existing target; the Windows move does not.
    if (link(from, to) == 0) {
        unlink(from);
        return true;
    }
    if (errno == EEXIST) return false;
    if (PathExists(to)) return false;
    return std::rename(from, to) == 0;
}

LocalTime GetLocalTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

namespace {

// Initialised statically: usable before any static constructor of the
// library has run.
pthread_mutex_t g_callLock = PTHREAD_MUTEX_INITIALIZER;

}  // namespace

void EnterCallLock() noexcept { pthread_mutex_lock(&g_callLock); }
void LeaveCallLock() noexcept { pthread_mutex_unlock(&g_callLock); }

// An open-file-description lock on the file itself: it belongs to this
// descriptor alone, so neither another descriptor of the same file closed
// meanwhile (pugixml reading Temp.xml) nor a second thread's descriptor
// shares it, and the kernel drops it with the last descriptor, when the
// program ends at the latest.
namespace {

long long MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Takes the lock of the whole file, waiting until the deadline: 0, or the
// errno that ended the wait (EAGAIN when the time ran out).
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
        if (left <= 0) return EAGAIN;
        const long sleep = static_cast<long>(std::min<long long>(pause, left));
        timespec wait{sleep / 1000, (sleep % 1000) * 1000000L};
        nanosleep(&wait, nullptr);
        pause = std::min(pause * 2, 50L);
    }
}

}  // namespace

bool NameLock::Acquire(const char* path) {
    Release();
    m_timedOut = false;
    const long long deadline = MonotonicMilliseconds() + LockWaitMilliseconds();
    // The holder before us may have renamed the file and made a new one (a
    // run-log rotation): we then hold the old file, and try the new one.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0) return false;
        const int locked = LockWhole(fd, deadline);
        struct stat held, named;
        if (locked != 0) {
            close(fd);
            m_timedOut = locked == EAGAIN;
            return false;
        }
        if (fstat(fd, &held) == 0 && stat(path, &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            m_handle = fd;
            return true;
        }
        close(fd);
    }
    return false;
}

void NameLock::Release() {
    if (m_handle == kNone) return;
    close(static_cast<int>(m_handle));
    m_handle = kNone;
}

static_assert(sizeof(std::mutex) <= 64, "lock storage too small");

Lock::Lock() { new (m_storage) std::mutex(); }
Lock::~Lock() { reinterpret_cast<std::mutex*>(m_storage)->~mutex(); }
void Lock::Enter() { reinterpret_cast<std::mutex*>(m_storage)->lock(); }
void Lock::Leave() { reinterpret_cast<std::mutex*>(m_storage)->unlock(); }

}  // namespace platform
