#include "tool/CompleteOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tool/FileCopy.h"

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

// The file moved to `to`: renamed, or copied where a rename would replace a
// device or pipe or cannot cross file systems. "" or why it failed.
std::string MoveFile(const std::string& from, const std::string& to) {
    if (!WritesInPlace(to)) {
        if (std::rename(from.c_str(), to.c_str()) == 0) return "";
        if (errno != EXDEV) return Describe(to, errno);
    }
    const std::string failure = CopyFile(from, to);
    if (failure.empty()) std::remove(from.c_str());
    return failure;
}

}  // namespace

std::string StatusFileOf(const std::string& output) {
    return output + kStatusSuffix;
}

CompleteOutput WriteComplete(const std::string& output, const std::optional<std::string>& statusFile,
                             const std::function<engine::Result(const char* path)>& write) {
    CompleteOutput outcome;
    if (WritesInPlace(output)) {
        const engine::Result written = write(output.c_str());
        outcome.result = written.code;
        if (!written.unwritten.empty()) {
            outcome.failure = Describe(written.unwritten.front().path, written.unwritten.front().error);
        } else if (outcome.result >= 0 && statusFile && *statusFile != StatusFileOf(output)) {
            outcome.failure = MoveFile(StatusFileOf(output), *statusFile);
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

    const engine::Result written = write(temporary.c_str());
    outcome.result = written.code;
    if (!written.unwritten.empty()) {
        const OutputFailure& first = written.unwritten.front();
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
        outcome.failure = MoveFile(file->from, file->to);
        if (!outcome.failure.empty()) {
            removeTemporaries();
            return outcome;
        }
    }
    return outcome;
}
