#include "tool/StandardStreams.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Copies everything from one descriptor to the other; the failing side's
// name and the system's reason, or "".
std::string Copy(int from, const std::string& fromName, int to, const std::string& toName) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(from, buffer.data(), buffer.size());
        if (got == 0) return "";
        if (got < 0) {
            if (errno == EINTR) continue;
            return Reason("cannot read " + fromName);
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                return Reason("cannot write " + toName);
            }
            done += put;
        }
    }
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
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return Reason("cannot write " + path);
    std::string failure = Copy(STDIN_FILENO, "standard input", fileno(file), path);
    if (std::fclose(file) != 0 && failure.empty()) failure = Reason("cannot write " + path);
    return failure;
}

std::string CopyToStandardOutput(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return Reason("cannot read " + path);
    std::fflush(stdout);
    const std::string failure = Copy(fileno(file), path, STDOUT_FILENO, "standard output");
    std::fclose(file);
    return failure;
}
