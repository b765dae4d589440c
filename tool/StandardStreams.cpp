#include "tool/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tool/FileCopy.h"

namespace {

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

TemporaryFile::TemporaryFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string name = std::string(folder && *folder ? folder : "/tmp") + "/zk8conv-XXXXXX.xml";
    const int descriptor = mkstemps(name.data(), 4);
    if (descriptor < 0) {
        m_failure = Reason("cannot create a temporary file in " + name.substr(0, name.rfind('/')));
        return;
    }
    close(descriptor);
    m_path = name;
}

TemporaryFile::~TemporaryFile() {
    if (!m_path.empty()) std::remove(m_path.c_str());
}

std::string CopyStandardInputTo(const std::string& path) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0) return Reason("cannot write " + path);
    std::string failure = CopyBytes(STDIN_FILENO, "standard input", file, path);
    if (close(file) != 0 && failure.empty()) failure = Reason("cannot write " + path);
    return failure;
}

std::string CopyToStandardOutput(const std::string& path) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return Reason("cannot read " + path);
    std::fflush(stdout);
    const std::string failure = CopyBytes(file, path, STDOUT_FILENO, "standard output");
    close(file);
    return failure;
}
