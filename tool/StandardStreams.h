// "-" as INPUT: the library reads named files only, so standard input is
// first copied into a temporary file in $TMPDIR (unnamed where the system
// allows: tool/ScratchFiles.h), which the library opens by its path. An
// output of "-" is tool/CompleteOutput's.
#pragma once

#include <string>

#include "tool/ScratchFiles.h"

class StandardInputCopy {
public:
    // Copies all of standard input.
    StandardInputCopy();

    // What the library opens.
    const std::string& Path() const { return m_file.Path(); }
    // Empty, or one line saying why the copy could not be made.
    const std::string& Failure() const { return m_failure; }

private:
    ScratchFile m_file;
    std::string m_failure;
};
