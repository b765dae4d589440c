// POSIX side of the platform layer.
#include "platform/Platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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
    // A link is not followed: the settings file is read only where it is one.
    if (path == nullptr || lstat(path, &st) != 0) return stamp;
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

bool DeleteFilePath(const char* path) { return unlink(path) == 0; }

bool MovePath(const char* from, const char* to) {
    // rename() would replace an existing target; the Windows move does not.
    // Never a second name on the way (as link and unlink would give it): a
    // run log with two names is taken for another user's.
    // The system call itself: glibc's wrapper would ask for glibc 2.28.
    constexpr unsigned kNoReplace = 1;  // RENAME_NOREPLACE
    if (syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, kNoReplace) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: the test and the move are two steps.
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

static_assert(sizeof(std::mutex) <= 64, "lock storage too small");

Lock::Lock() { new (m_storage) std::mutex(); }
Lock::~Lock() { reinterpret_cast<std::mutex*>(m_storage)->~mutex(); }
void Lock::Enter() { reinterpret_cast<std::mutex*>(m_storage)->lock(); }
void Lock::Leave() { reinterpret_cast<std::mutex*>(m_storage)->unlock(); }

}  // namespace platform
