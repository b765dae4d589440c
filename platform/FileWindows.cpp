// Windows side of the shared-folder file layer (platform/File.h). Windows
// has no descriptor locks that survive a rename: a file's name is held by a
// named mutex, which the system hands to the next waiter when its owner
// ends. Links are reparse points; owners are not compared (access is a
// matter of the folder's access list there).
#include "platform/File.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <new>

#include "platform/Platform.h"

namespace platform {

namespace {

[[noreturn]] void OutOfMemory() { throw std::bad_alloc(); }

// The name of the mutex that stands for a file name: one per full path,
// whatever its spelling (relative, in other letter case), in the global
// namespace, so that the programs of every session share it.
bool MutexNameFor(const char* path, char* out, std::size_t size) {
    char full[4 * MAX_PATH];
    const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return false;
    CharUpperBuffA(full, length);
    unsigned long long hash = 14695981039346656037ull;  // FNV-1a
    for (DWORD i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(full[i]);
        hash *= 1099511628211ull;
    }
    std::snprintf(out, size, "Global\\ZK8_XML_Conv.%08lx%08lx", static_cast<unsigned long>(hash >> 32),
                  static_cast<unsigned long>(hash & 0xFFFFFFFFu));
    return true;
}

// Holds the name of `path` for this program, waiting at most
// LockWaitMilliseconds: the mutex, or 0 (`busy` when the time ran out; a
// name the system gives no mutex for is not held, and the file operations
// that follow fail or succeed on their own).
HANDLE HoldName(const char* path, bool& busy) {
    busy = false;
    char name[64];
    if (!MutexNameFor(path, name, sizeof name)) return nullptr;
    // Open to every user: a service and a desktop program may share a folder.
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    HANDLE mutex = CreateMutexA(&attributes, FALSE, name);
    if (mutex == nullptr) mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
    if (mutex == nullptr) return nullptr;
    const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(LockWaitMilliseconds()));
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        busy = waited == WAIT_TIMEOUT;
        CloseHandle(mutex);
        return nullptr;
    }
    return mutex;
}

void LetGo(HANDLE mutex) {
    if (mutex == nullptr) return;
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

void LetGo(long long& held) {
    LetGo(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(held)));
    held = 0;
}

bool IsDisk(std::FILE* stream) {
    return GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)))) == FILE_TYPE_DISK;
}

// The attributes of a path, or INVALID_FILE_ATTRIBUTES with `why` Missing or
// Failed.
DWORD Attributes(const char* path, Refusal& why) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        why = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Refusal::Missing : Refusal::Failed;
        errno = why == Refusal::Missing ? ENOENT : EACCES;
    }
    return attributes;
}

}  // namespace

struct FileAccess {
    static File Wrap(std::FILE* stream, HANDLE held) {
        File file;
        file.m_stream = stream;
        file.m_held = static_cast<long long>(reinterpret_cast<std::intptr_t>(held));
        return file;
    }
    static long long& Held(File& file) { return file.m_held; }
};

std::FILE* File::Stream() { return m_stream; }

std::size_t File::Read(void* out, std::size_t size) {
    return m_stream != nullptr ? std::fread(out, 1, size, m_stream) : 0;
}

bool File::Write(const void* bytes, std::size_t size) {
    if (m_stream != nullptr && std::fwrite(bytes, 1, size, m_stream) == size) return true;
    m_failed = true;
    return false;
}

bool File::Seek(std::uint64_t offset) {
    return m_stream != nullptr && _fseeki64(m_stream, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool File::Truncate(std::uint64_t size) {
    if (m_stream == nullptr || std::fflush(m_stream) != 0) return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(m_stream)));
    LARGE_INTEGER length;
    if (!GetFileSizeEx(handle, &length)) return false;
    if (static_cast<std::uint64_t>(length.QuadPart) <= size) return true;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

bool File::Close() {
    std::FILE* stream = m_stream;
    m_stream = nullptr;
    bool ok = !m_failed;
    m_failed = false;
    if (stream != nullptr) {
        const bool written = std::ferror(stream) == 0;
        ok = std::fclose(stream) == 0 && written && ok;
    }
    LetGo(m_held);
    return ok;
}

File OpenToRead(const char* path, Links links, Refusal& why, char* buffer, std::size_t size) {
    why = Refusal::None;
    // Attributes a path beyond the system's path limit does not give: the
    // open below then decides alone.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (links == Links::NotLast && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            why = Refusal::Link;
            return File();
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            why = Refusal::Folder;
            errno = EISDIR;
            return File();
        }
    }
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        if (errno == ENOMEM) OutOfMemory();
        why = errno == ENOENT ? Refusal::Missing : Refusal::Failed;
        return File();
    }
    if (!IsDisk(stream)) {
        std::fclose(stream);
        why = Refusal::NotRegular;
        return File();
    }
    std::setvbuf(stream, buffer, buffer != nullptr ? _IOFBF : _IONBF, buffer != nullptr ? size : 0);
    return FileAccess::Wrap(stream, nullptr);
}

void CreateEmptyFile(const char* path) {
    const HANDLE created = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created != INVALID_HANDLE_VALUE) CloseHandle(created);
}

File OpenOwnToAppend(const char* path, Refusal& why) {
    why = Refusal::None;
    Refusal missing = Refusal::None;
    const DWORD attributes = Attributes(path, missing);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            why = Refusal::Link;
            return File();
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            why = Refusal::Folder;
            return File();
        }
    }
    bool busy = false;
    const HANDLE held = HoldName(path, busy);
    if (busy) {
        why = Refusal::Busy;
        errno = EBUSY;
        return File();
    }
    std::FILE* stream = std::fopen(path, "ab+");
    if (stream == nullptr) {
        const int error = errno;
        LetGo(held);
        if (error == ENOMEM) OutOfMemory();
        why = Refusal::Failed;
        return File();
    }
    File opened = FileAccess::Wrap(stream, held);
    if (!IsDisk(stream)) {
        why = Refusal::NotRegular;
        return File();
    }
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return opened;
}

bool MoveAndClose(File& file, const char* path, const char* saveName) {
    // A file open here cannot be renamed: it is closed first, its name still
    // held.
    long long held = FileAccess::Held(file);
    FileAccess::Held(file) = 0;
    const bool closed = file.Close();
    DeleteFileA(saveName);
    const bool moved = MovePath(path, saveName);
    if (moved) CreateEmptyFile(path);
    LetGo(held);
    return closed && moved;
}

NewFile::~NewFile() {
    m_file.Close();
    if (!m_name.empty()) DeleteFileA(m_name.c_str());
}

bool NewFile::Create(const std::string& folder) {
    m_folder = folder;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder + "\\~Temp.xml." + std::to_string(GetCurrentProcessId()) + "." +
                                 std::to_string(GetTickCount()) + "." + std::to_string(counter++);
        // Shared for deletion, so that it can be renamed while open.
        const HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            errno = EACCES;
            return false;
        }
        m_name = name;
        const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(handle);
            return false;
        }
        std::FILE* stream = _fdopen(fd, "w+b");
        if (stream == nullptr) {
            _close(fd);
            if (errno == ENOMEM) OutOfMemory();
            return false;
        }
        m_file = FileAccess::Wrap(stream, nullptr);
        return true;
    }
    return false;
}

bool NewFile::Publish(const std::string& path) {
    if (!m_file || std::fflush(m_file.Stream()) != 0) return false;
    // Replaces a file or a link of that name; a folder stays.
    if (!MoveFileExA(m_name.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        errno = EACCES;
        return false;
    }
    m_name.clear();
    return true;
}

File OpenOutputFile(const char* path, bool regularOnly, OutputKind& kind) {
    kind = OutputKind{};
    Refusal missing = Refusal::None;
    const DWORD attributes = Attributes(path, missing);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return File();
    }
    bool busy = false;
    const HANDLE held = HoldName(path, busy);
    if (busy) {
        errno = EBUSY;
        return File();
    }
    std::FILE* stream = std::fopen(path, "w+b");
    kind.readable = stream != nullptr;
    if (stream == nullptr && errno == EACCES) stream = std::fopen(path, "wb");
    if (stream == nullptr) {
        const int error = errno;
        LetGo(held);
        if (error == ENOMEM) OutOfMemory();
        errno = error;
        return File();
    }
    File file = FileAccess::Wrap(stream, held);
    kind.regular = IsDisk(stream);
    if (regularOnly && !kind.regular) {
        errno = ENXIO;
        return File();
    }
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return file;
}

void RemoveAndClose(File& file, const char* path) {
    // A file open here cannot be deleted: it is closed first, its name still
    // held.
    long long held = FileAccess::Held(file);
    FileAccess::Held(file) = 0;
    file.Close();
    DeleteFileA(path);
    LetGo(held);
}

bool CopyFileReplacing(const char* source, const char* target) {
    const DWORD attributes = GetFileAttributesA(source);
    const bool copied = attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
                        CopyFileA(source, target, FALSE) != 0;
    // A read-only backup gives a copy that can still be deleted.
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    return copied;
}

}  // namespace platform
