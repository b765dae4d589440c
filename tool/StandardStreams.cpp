#include "tool/StandardStreams.h"

#include <unistd.h>

#include "tool/FileCopy.h"

StandardInputCopy::StandardInputCopy() : m_file(TemporaryFolder(), false) {
    if (!m_file.Failure().empty()) {
        m_failure = "cannot create a temporary file in " + TemporaryFolder() + ": " + m_file.Failure();
        return;
    }
    m_failure = CopyBytes(STDIN_FILENO, "standard input", m_file.Descriptor(),
                          "the copy of standard input in " + TemporaryFolder());
}
