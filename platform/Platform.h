// The only interface to the operating system. Everything the library needs
// from the system kernel or shell goes through these functions; the rest of
// the code never includes a system header and never branches on the platform.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Put between a folder and a file name ("\\" on Windows, "/" elsewhere).
extern const char kPathSeparator;

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

// The machine-wide application-data folder. Negative on failure.
int GetCommonAppDataFolder(char* out, std::size_t size);

// 0 for systems older than major version 5, 1 for 5, 2 for newer ones.
int GetVersionClass();

// Creates a new empty file with a unique name ending in ".TMP" in `folder`
// and writes its full path to `out`. False when no file was created.
bool CreateUniqueTempFile(const char* folder, char* out, std::size_t size);

// Copies the bytes of src onto dst, replacing dst. False on any failure.
bool CopyFileReplacing(const char* src, const char* dst);

// Makes a file writable again (normal attributes).
void SetNormalAttributes(const char* path);

bool DeleteFilePath(const char* path);

// Renames; fails when the target exists.
bool MovePath(const char* from, const char* to);

struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime GetLocalTimeNow();

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

}  // namespace platform
