// Windows side of the platform layer: the kernel and shell calls the library
// makes, and the library's entry routine.
#include "platform/Platform.h"

#include <windows.h>
#include <shlobj.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <new>

namespace platform {

const char kPathSeparator = '\\';

namespace {

const char kHostModuleName[] = "ZKHost.dll";

// The module-name query returns 0 on failure; a path that did not fit is cut
// and, on older systems, left without its terminator.
bool ModuleFileName(HMODULE module, char* out, std::size_t size) {
    if (size == 0) return false;
    const DWORD length = GetModuleFileNameA(module, out, static_cast<DWORD>(size));
    out[length < size ? length : size - 1] = '\0';
    return length != 0;
}

CRITICAL_SECTION* Section(unsigned char* storage) {
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

}  // namespace

bool GetHostModulePath(char* out, std::size_t size) {
    // Only a module that is already loaded counts; a null handle gives the
    // executable's path.
    return ModuleFileName(GetModuleHandleA(kHostModuleName), out, size);
}

bool GetExecutablePath(char* out, std::size_t size) { return ModuleFileName(nullptr, out, size); }

std::string DriveAndDirectory(const char* path) {
    // The paths split here come from buffers of at most MAX_PATH bytes, so
    // no part can outgrow these.
    char drive[_MAX_DRIVE] = "";
    char directory[MAX_PATH] = "";
    char name[MAX_PATH] = "";
    char extension[MAX_PATH] = "";
    _splitpath(path, drive, directory, name, extension);
    return std::string(drive) + directory;
}

bool GetCurrentDirectoryPath(char* out, std::size_t size) {
    if (size == 0) return false;
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(size), out);
    // A result not smaller than the buffer is the size it would need.
    if (length == 0 || length >= size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool PathExists(const char* path) {
    if (path == nullptr) return true;
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The last-write time of NTFS may be updated late, so it cannot tell that
// a file is unchanged: only existence is reported, and callers read the file.
FileStamp GetFileStamp(const char* path) {
    FileStamp stamp;
    stamp.exists = path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    return stamp;
}

int GetCommonAppDataFolder(char* out, std::size_t size) {
    char folder[MAX_PATH] = "";
    const HRESULT result = SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
    if (FAILED(result)) return static_cast<int>(result);
    if (std::strlen(folder) >= size) return -1;
    CopyCut(folder, out, size);
    return 0;
}

int GetVersionClass() {
    OSVERSIONINFOA info;
    static_assert(sizeof info == 148, "OSVERSIONINFOA has the size the system expects");
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    if (info.dwMajorVersion < 5) return 0;
    return info.dwMajorVersion == 5 ? 1 : 2;
}

bool CreateUniqueTempFile(const char* folder, char* out, std::size_t size) {
    if (size == 0) return false;
    out[0] = '\0';
    // The system writes up to MAX_PATH bytes.
    char path[MAX_PATH] = "";
    if (GetTempFileNameA(folder, "", 0, path) == 0) return false;
    if (std::strlen(path) >= size) return false;
    CopyCut(path, out, size);
    return true;
}

bool DeleteFilePath(const char* path) { return DeleteFileA(path) != 0; }

bool MovePath(const char* from, const char* to) { return MoveFileA(from, to) != 0; }

LocalTime GetLocalTimeNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

namespace {

// A slim reader/writer lock needs no initialisation beyond its static zero.
SRWLOCK g_callLock = SRWLOCK_INIT;

}  // namespace

void EnterCallLock() noexcept { AcquireSRWLockExclusive(&g_callLock); }
void LeaveCallLock() noexcept { ReleaseSRWLockExclusive(&g_callLock); }

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(Lock), "lock storage too small");

Lock::Lock() { InitializeCriticalSection(Section(m_storage)); }
Lock::~Lock() { DeleteCriticalSection(Section(m_storage)); }
void Lock::Enter() { EnterCriticalSection(Section(m_storage)); }
void Lock::Leave() { LeaveCriticalSection(Section(m_storage)); }

}  // namespace platform

// The library's entry routine: it only switches off the per-thread
// notifications; the library's objects are built and destroyed by the
// runtime's static initialisation and clean-up.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
