// A file the library writes for its caller: a conversion output, a status
// file, a tag list. The exports' results do not tell whether such a file was
// written in full; every failure is noted, with the system's reason, in the
// list of files the call could not write, so that a program built on the
// engine (the command-line tool) can report it.
//
// Writes go straight to the system (callers gather their bytes in buffers
// of their own), so no write needs memory. A file that is a pipe or a device
// nobody reads does not open; nothing waits for a reader to come.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "output/ByteSink.h"
#include "platform/File.h"

struct OutputFailure {
    std::string path;
    int error;  // errno
};
using UnwrittenFiles = std::vector<OutputFailure>;

class COutputFile final : public CByteSink {
public:
    // Opens the file for writing, truncating it (a regular file also for
    // reading, where it may be read); a file that does not open is noted.
    // With `regularOnly`, only a regular file opens (a status file: never a
    // pipe or device). Another program writing the same file through the
    // library is waited for (platform::OpenOutputFile). Throws
    // std::bad_alloc when the system has no memory to open it.
    // Failures go into `unwritten` (none where it is null).
    COutputFile(const char* path, UnwrittenFiles* unwritten, bool regularOnly = false);
    // Closes a file that Close did not; nothing is noted then (the call is
    // being abandoned).
    ~COutputFile() override;
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    bool IsOpen() const { return static_cast<bool>(m_file); }
    // A regular file (not a pipe or a device) that can be read back.
    bool IsRegular() const { return m_regular; }
    bool Readable() const { return m_readable; }
    platform::File& Handle() { return m_file; }
    void Write(const void* data, std::size_t size) override;
    // A write or anything else failed: what is on disk ends before.
    bool Failed() const { return m_error != 0; }
    // A failure met outside write (a seek or read back): noted at Close.
    void NoteError(int error) {
        if (m_error == 0) m_error = error;
    }
    // Closes the file; a write or close that failed is noted.
    void Close();
    // Closes the file unnoted and removes it, where it is a regular file
    // (through a symbolic link, the file it named when it opened): what a
    // call that fails leaves of a file it began.
    void Remove() noexcept;

private:
    const char* m_path;
    UnwrittenFiles* m_unwritten;
    platform::File m_file;
    bool m_readable = false;
    bool m_regular = false;
    int m_error = 0;
};
