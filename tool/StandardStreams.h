// "-" as INPUT, and inputs that are not regular files (a pipe such as
// <(command) or /dev/fd/N, a device): the library reads regular files only,
// so such an input is first copied into a temporary file in $TMPDIR
// (unnamed where the system allows: tool/ScratchFiles.h), which the library
// opens by its path. An output of "-" is tool/CompleteOutput's.
#pragma once

#include <string>

#include "tool/ScratchFiles.h"

class StandardInputCopy {
public:
    // Copies all of `source`: "-" is standard input.
    explicit StandardInputCopy(const std::string& source = "-");

    // Whether `input` is read through a copy: "-", or a path that names
    // something other than a regular file or a folder.
    static bool Needed(const std::string& input);

    // What the library opens.
    const std::string& Path() const { return m_file.Path(); }
    // Empty, or one line saying why the copy could not be made.
    const std::string& Failure() const { return m_failure; }

private:
    ScratchFile m_file;
    std::string m_failure;
};
