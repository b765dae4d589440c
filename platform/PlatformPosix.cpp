// POSIX side of the platform layer.
#include "platform/Platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
    FILE* in = std::fopen(src, "rb");
    if (in == nullptr) return false;
    FILE* out = std::fopen(dst, "wb");
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
bool NameLock::Acquire(const char* path) {
    Release();
    // The holder before us may have renamed the file and made a new one (a
    // run-log rotation): we then hold the old file, and try the new one.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;  // start 0, length 0: the whole file
        int locked;
        while ((locked = fcntl(fd, F_OFD_SETLKW, &whole)) != 0 && errno == EINTR) {
        }
        struct stat held, named;
        if (locked != 0) {
            close(fd);
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
