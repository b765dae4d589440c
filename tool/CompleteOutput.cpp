#include "tool/CompleteOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "converter/OutputFile.h"

namespace fs = std::filesystem;

namespace {

const char kStatusSuffix[] = "_Status.xml";

// A hidden name in the output's own folder, so that the rename stays on one
// file system; the process number keeps concurrent runs apart.
std::string TemporaryName(const std::string& output) {
    const fs::path path(output);
    const std::string name = "." + path.filename().string() + ".zk8conv-" + std::to_string(getpid());
    return (path.parent_path() / name).string();
}

// Something other than a regular file (a device, a pipe) is written in place.
bool WritesInPlace(const std::string& output) {
    std::error_code error;
    const fs::file_status status = fs::status(output, error);
    return fs::exists(status) && !fs::is_regular_file(status);
}

std::string Describe(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

// Copies the bytes into a target that is not a regular file (a device, a
// pipe), which a rename would replace.
bool CopyInto(const std::string& from, const std::string& to) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    std::FILE* out = in ? std::fopen(to.c_str(), "wb") : nullptr;
    bool done = out != nullptr;
    char buffer[1 << 14];
    for (std::size_t n; done && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        done = std::fwrite(buffer, 1, n, out) == n;
    }
    if (out && std::fclose(out) != 0) done = false;
    if (in) std::fclose(in);
    if (done) std::remove(from.c_str());
    return done;
}

// A rename, or where the target is on another file system, a copy.
bool MoveFile(const std::string& from, const std::string& to) {
    if (WritesInPlace(to)) return CopyInto(from, to);
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    std::error_code error;
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, error)) {
        errno = error.value();
        return false;
    }
    std::remove(from.c_str());
    return true;
}

}  // namespace

std::string StatusFileOf(const std::string& output) {
    return output + kStatusSuffix;
}

CompleteOutput WriteComplete(const std::string& output, const std::optional<std::string>& statusFile,
                             const std::function<int(const char* path)>& write) {
    CompleteOutput outcome;
    if (WritesInPlace(output)) {
        outcome.result = write(output.c_str());
        if (!OutputFailures().empty()) {
            outcome.failure = Describe(OutputFailures().front().path, OutputFailures().front().error);
        } else if (outcome.result >= 0 && statusFile && *statusFile != StatusFileOf(output) &&
                   !MoveFile(StatusFileOf(output), *statusFile)) {
            outcome.failure = Describe(*statusFile, errno);
        }
        return outcome;
    }

    const std::string temporary = TemporaryName(output);
    struct Pair {
        std::string from, to;
    };
    std::vector<Pair> files{{temporary, output}};
    if (statusFile) files.push_back({StatusFileOf(temporary), *statusFile});
    auto removeTemporaries = [&files] {
        for (const Pair& file : files) std::remove(file.from.c_str());
    };

    outcome.result = write(temporary.c_str());
    if (!OutputFailures().empty()) {
        const OutputFailure& first = OutputFailures().front();
        for (const Pair& file : files) {
            if (file.from == first.path) outcome.failure = Describe(file.to, first.error);
        }
        if (outcome.failure.empty()) outcome.failure = Describe(first.path, first.error);
    }
    if (outcome.result < 0 || !outcome.failure.empty()) {
        removeTemporaries();
        return outcome;
    }
    // The status file first: the output appearing is what tells that the
    // conversion is complete.
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        if (!MoveFile(file->from, file->to)) {
            outcome.failure = Describe(file->to, errno);
            removeTemporaries();
            return outcome;
        }
    }
    return outcome;
}
