// "-" as a file name: the library reads and writes named files only, so
// standard input is first copied into a temporary file, and an output meant
// for standard output is written to one and copied out once it is complete.
#pragma once

#include <string>

// A file of its own in $TMPDIR (or /tmp), removed with the object.
class TemporaryFile {
public:
    TemporaryFile();
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Path() const { return m_path; }
    // Empty, or why the file could not be made.
    const std::string& Failure() const { return m_failure; }

private:
    std::string m_path;
    std::string m_failure;
};

// Both return "" on success, else a one-line reason.
std::string CopyStandardInputTo(const std::string& path);
std::string CopyToStandardOutput(const std::string& path);
