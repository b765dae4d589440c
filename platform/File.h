// Files in folders that other users and programs may write too.
//
// Several files have fixed names in folders that are often shared: Temp.xml
// in the application-data folder, the run log and its save file,
// Interface.ini, the saved ini copy. Another user who can write such a folder
// can put anything under those names: a symbolic link to a file of ours, a
// pipe that nobody writes, a file of their own. These functions open them so
// that such a name can at worst make the call fail or lose a run-log entry:
//
// - nothing waits: a pipe, socket or device is refused, never read or
//   written, and it is opened (if at all) in a way that cannot block;
// - a fixed name is never followed when it is a symbolic link (on Windows:
//   a reparse point);
// - a file the library appends to is a regular file of the calling user
//   with one name; one it creates is its own from the start;
// - what a call writes and reads back is read through the descriptor that
//   wrote it, never by its name again.
//
// Paths the caller names (inputs, outputs, ini files) are followed as the
// caller's own path is: the kernel decides, with its protections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Whether a symbolic link as the last component of a path is followed.
enum class Links { Follow, NotLast };

// Why a file was not opened.
enum class Refusal {
    None,
    Missing,     // nothing has the name
    Link,        // a symbolic link where none is followed
    Folder,      // a folder
    NotRegular,  // a pipe, socket or device
    NotOurs,     // another user's file, or a file with more than one name
    Busy,        // another program held it for longer than LockWaitMilliseconds
    Failed,      // the system refused (errno tells why)
};

// An open file, closed with the object. On POSIX it is a descriptor, and a
// C stream over it is made only where one is asked for (Stream): reading and
// writing whole blocks (Read, Write) needs none, nor its memory and system
// calls. On Windows it is a stream, and it may also hold the name of the
// file for this program (see OpenOwnToAppend); on POSIX that lock is on the
// descriptor and ends with it.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    explicit operator bool() const { return m_stream != nullptr || m_fd >= 0; }
    // A C stream over the file, unbuffered unless it was opened with a
    // buffer. Throws std::bad_alloc when the stream finds no memory.
    std::FILE* Stream();
    // Reads up to `size` bytes, fewer only at the end or on a failure: how
    // many.
    std::size_t Read(void* out, std::size_t size);
    // Writes all `size` bytes: false (errno tells why) when they are not.
    bool Write(const void* bytes, std::size_t size);
    // Positions the file at `offset` from its start.
    bool Seek(std::uint64_t offset);
    // Cuts the file to `size` bytes (never makes it longer).
    bool Truncate(std::uint64_t size);
    // The file's size when it was opened, where the opening found it out
    // (OpenToRead, OpenOwnToAppend); -1 otherwise.
    long long SizeWhenOpened() const { return m_size; }
    // Closes the file and ends its hold: false when a write, the flush or
    // the close failed (errno tells why). Nothing to close is no failure.
    bool Close();

private:
    friend struct FileAccess;
    std::FILE* m_stream = nullptr;
    int m_fd = -1;
    // How a stream made later opens the descriptor ("rb", "w+b", "a+b").
    const char* m_mode = "rb";
    bool m_failed = false;
    long long m_size = -1;
    // The name held (Windows: a mutex handle); 0 when none.
    long long m_held = 0;
};

// Opens a regular file for reading, with the stream's buffer given by the
// caller (none: unbuffered), so that no read needs memory of its own.
// Throws std::bad_alloc when the system had no memory to open it: that is
// never taken for a missing file.
File OpenToRead(const char* path, Links links, Refusal& why, char* buffer = nullptr, std::size_t size = 0);

// Creates an empty file where nothing has the name (a link counts): a
// missing settings file.
void CreateEmptyFile(const char* path);

// The run log: opened (created where missing) for appending and reading,
// unbuffered; only a regular file of the calling user with one name, never
// through a symbolic link. It is held for this program until closed: another
// program that holds it is waited for, at most LockWaitMilliseconds (Busy).
File OpenOwnToAppend(const char* path, Refusal& why);

// Moves the held, open file `file` at `path` to `saveName` (a file of that
// name goes first), leaves an empty file under `path`, and closes it, while
// no other program can use the name. False when the move failed (the file
// then stays where it is) or the close failed.
bool MoveAndClose(File& file, const char* path, const char* saveName);

// A file no other program can have open: made without a name where the
// system allows it (else under a unique hidden name), in its folder, for
// reading and writing, and given its name by Publish.
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Makes the file in `folder`. False when the folder does not take one
    // (errno tells why).
    bool Create(const std::string& folder);
    File& Get() { return m_file; }
    // Gives the file the name `path` (in its folder), replacing whatever has
    // that name (a link is replaced, never followed). The file stays open.
    // False when the name cannot be had (errno tells why).
    bool Publish(const std::string& path);

private:
    File m_file;
    std::string m_folder;
    std::string m_name;  // the name the file has until Publish, if any
};

// What OpenOutputFile opened.
struct OutputKind {
    bool regular = false;   // a regular file (not a pipe or device)
    bool readable = false;  // opened for reading as well (its permissions allow it)
};

// Opens a file the library writes for its caller (an output, a status file,
// the tag list), following links as the caller's path does, without ever
// waiting for a reader: a pipe or device that nobody reads does not open,
// and with `regularOnly` none opens at all (errno ENXIO). A regular file is
// held for this program while open (another program writing the same file
// through the library is waited for, at most LockWaitMilliseconds: errno
// EBUSY), then emptied, and opened for reading as well where its
// permissions allow. Unbuffered. Throws std::bad_alloc as OpenToRead does.
File OpenOutputFile(const char* path, bool regularOnly, OutputKind& kind);

// Removes a file opened by OpenOutputFile and closes it, removing while it
// is still held, so that no other program's file of that name is removed;
// through a symbolic link, the file it names. `path`: the name it was opened
// by.
void RemoveAndClose(File& file, const char* path);

// Copies the bytes of `source` (a file at a fixed name: never through a
// link, regular only) over `target`, a file this program made and owns,
// giving its owner write permission on it. False on any failure.
bool CopyFileReplacing(const char* source, const char* target);

}  // namespace platform
