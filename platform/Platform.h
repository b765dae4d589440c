// The only interface to the operating system. Everything the library needs
// from the system kernel or shell goes through these functions; the rest of
// the code never includes a system header and never branches on the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Put between a folder and a file name ("\\" on Windows, "/" elsewhere).
extern const char kPathSeparator;

// Copies src into `size` bytes at out, cut to fit with its terminator.
void CopyCut(const char* src, char* out, std::size_t size);

// Path of the loaded module whose file name is the host module ("ZKHost.dll",
// on POSIX "libZKHost.so"); when none is loaded, the executable's path, as the
// Windows module-name query does for a null handle. Cut to fit `size` bytes.
// False when no path could be obtained.
bool GetHostModulePath(char* out, std::size_t size);

// Full path of the process's executable, cut to fit `size` bytes.
bool GetExecutablePath(char* out, std::size_t size);

// Splits a path into drive and directory: the directory part ends with the
// separator. Empty when the path holds no separator.
std::string DriveAndDirectory(const char* path);

// Current directory into `size` bytes; false (and an empty buffer) on failure.
bool GetCurrentDirectoryPath(char* out, std::size_t size);

// True when the system reports attributes for the path (files and folders).
bool PathExists(const char* path);

// What the file system tells of a file without opening it: enough to see
// that the file was written or replaced since an earlier look.
struct FileStamp {
    // The path exists (a file or a folder).
    bool exists = false;
    // A regular file whose identity, size and time stamps were read. False
    // where the system gives no such stamp: callers then read the file.
    bool known = false;
    // The file's last change lies so far back that any later change must give
    // it other time stamps. Time stamps are coarse: a write in the same tick
    // as the one before can leave them as they were.
    bool settled = false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    unsigned long long size = 0;
    long long modifiedSeconds = 0;
    long modifiedNanoseconds = 0;
    long long changedSeconds = 0;
    long changedNanoseconds = 0;

    // Both stamps are known and show the same file, unchanged.
    bool SameVersionAs(const FileStamp& other) const {
        return known && other.known && device == other.device && inode == other.inode && size == other.size &&
               modifiedSeconds == other.modifiedSeconds && modifiedNanoseconds == other.modifiedNanoseconds &&
               changedSeconds == other.changedSeconds && changedNanoseconds == other.changedNanoseconds;
    }
};
FileStamp GetFileStamp(const char* path);

// The machine-wide application-data folder. Negative on failure.
int GetCommonAppDataFolder(char* out, std::size_t size);

// 0 for systems older than major version 5, 1 for 5, 2 for newer ones.
int GetVersionClass();

// Creates a new empty file with a unique name ending in ".TMP" in `folder`
// and writes its full path to `out`. False when no file was created.
bool CreateUniqueTempFile(const char* folder, char* out, std::size_t size);

bool DeleteFilePath(const char* path);

// Renames; fails when the target exists.
bool MovePath(const char* from, const char* to);

struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime GetLocalTimeNow();

// The lock each export holds for the whole of its run, so that the calls a
// host makes from several threads run one at a time. It needs no
// construction: it works from the moment the library is loaded, whatever the
// order in which static objects are made.
void EnterCallLock() noexcept;
void LeaveCallLock() noexcept;

// How long a file another program holds is waited for (platform/File.h):
// 30 s, or the milliseconds ZK8_LOCK_WAIT_MS gives.
long LockWaitMilliseconds();

// The run-log lock: a critical section on Windows, a mutex elsewhere.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void Enter();
    void Leave();

private:
    alignas(16) unsigned char m_storage[64];
};

// Holds a Lock for one scope.
class LockScope {
public:
    explicit LockScope(Lock& lock) : m_lock(lock) { m_lock.Enter(); }
    ~LockScope() { m_lock.Leave(); }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    Lock& m_lock;
};

}  // namespace platform
