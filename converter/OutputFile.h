// A file the library writes for its caller: a conversion output, a status
// file, a tag list. The exports' results do not tell whether such a file was
// written in full; every failure is noted in the running call's record with
// the system's reason, so that a program built on the engine (the
// command-line tool) can report it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "converter/CallRecord.h"

class COutputFile : public pugi::xml_writer {
public:
    // Opens the file for binary writing ("wb", or "r+b" to rewrite it in
    // place); a file that does not open is noted.
    explicit COutputFile(const char* path, const char* mode = "wb");
    // Closes a file that Close did not; nothing is noted then (the call is
    // being abandoned).
    ~COutputFile() override;
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    std::FILE* Get() const { return m_file; }
    void write(const void* data, std::size_t size) override;
    // A failure met outside write (a seek or read back): noted at Close.
    void NoteError(int error) {
        if (m_error == 0) m_error = error;
    }
    // Flushes and closes the file; a write, flush or close that failed is noted.
    void Close();

private:
    const char* m_path;
    std::FILE* m_file;
    int m_error = 0;
};
