#include "tool/StandardStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tool/FileCopy.h"

bool StandardInputCopy::Needed(const std::string& input) {
    if (input == "-") return true;
    struct stat st {};
    return stat(input.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

StandardInputCopy::StandardInputCopy(const std::string& source) : m_file(TemporaryFolder(), false) {
    if (!m_file.Failure().empty()) {
        m_failure = "cannot create a temporary file in " + TemporaryFolder() + ": " + m_file.Failure();
        return;
    }
    if (source == "-") {
        m_failure = CopyBytes(STDIN_FILENO, "standard input", m_file.Descriptor(),
                              "the copy of standard input in " + TemporaryFolder());
        return;
    }
    // Read as the user asked: a pipe's writer is waited for, as cat would.
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        m_failure = "cannot read " + source + ": " + std::strerror(errno);
        return;
    }
    m_failure = CopyBytes(in, source, m_file.Descriptor(), "the copy of " + source + " in " + TemporaryFolder());
    close(in);
}
