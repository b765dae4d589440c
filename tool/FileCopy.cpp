#include "tool/FileCopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

std::string CopyBytes(int from, const std::string& fromName, int to, const std::string& toName) {
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

std::string CopyFile(int from, const std::string& fromName, const std::string& to, const std::string& toName) {
    if (lseek(from, 0, SEEK_SET) != 0) return Reason("cannot read " + fromName);
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) return Reason("cannot write " + toName);
    std::string failure = CopyBytes(from, fromName, out, toName);
    if (close(out) != 0 && failure.empty()) failure = Reason("cannot write " + toName);
    return failure;
}
