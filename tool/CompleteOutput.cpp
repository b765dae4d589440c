#include "tool/CompleteOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "tool/FileCopy.h"
#include "tool/ScratchFiles.h"

namespace fs = std::filesystem;

namespace {

const char kStatusSuffix[] = "_Status.xml";

std::string Describe(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

// Where a file the tool was asked for goes, and how it gets there.
struct Destination {
    enum Kind {
        Replaced,        // a temporary file beside it is renamed over it
        InPlace,         // an output that is not a regular file: the library writes it
        Copied,          // a status file that is not a regular file: copied into when complete
        StandardOutput,  // "-" as output: copied out when complete
    };
    std::string shown;  // as the user named it
    std::string path;   // its symbolic links followed
    Kind kind;
};

// The path with the symbolic links of its last part followed, also a link
// whose target does not exist yet (it is created there). Folders on the way
// need no following: the kernel follows them for the rename.
std::string FollowLinks(std::string path, int& error) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        std::error_code failed;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        const fs::path target = fs::read_symlink(path, failed);
        if (failed) return path;
        path = target.is_absolute() ? target.string() : (fs::path(path).parent_path() / target).string();
    }
    error = ELOOP;
    return path;
}

Destination Resolve(const std::string& given, bool output, std::string& failure) {
    if (output && given == "-") return {"standard output", "", Destination::StandardOutput};
    int error = 0;
    Destination destination{given, FollowLinks(given, error), Destination::Replaced};
    if (error != 0 && failure.empty()) failure = Describe(given, error);
    struct stat st {};
    if (stat(destination.path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        destination.kind = output ? Destination::InPlace : Destination::Copied;
    }
    return destination;
}

// `path` as read from any folder, as a symbolic link's target is read from
// the link's. Left as it is if the current folder is gone.
std::string Absolute(const std::string& path) {
    std::error_code ignored;
    const fs::path absolute = fs::absolute(path, ignored);
    return absolute.empty() ? path : absolute.string();
}

// The temporary file a destination is written into: beside it where it is
// renamed into place, in $TMPDIR where it is copied.
std::unique_ptr<ScratchFile> ScratchFor(const Destination& destination, std::string& failure) {
    const bool beside = destination.kind == Destination::Replaced;
    const std::string folder = beside ? fs::path(destination.path).parent_path().string() : TemporaryFolder();
    auto file = std::make_unique<ScratchFile>(folder, beside);
    if (!file->Failure().empty()) {
        failure = beside ? "cannot write " + destination.shown + ": " + file->Failure()
                         : "cannot create a temporary file in " + folder + ": " + file->Failure();
    }
    return file;
}

// The complete file put where it belongs. "" or why it failed.
std::string Deliver(const Destination& destination, ScratchFile& file) {
    switch (destination.kind) {
        case Destination::Replaced: return file.Replace(destination.path, destination.shown);
        case Destination::Copied:
            return CopyFile(file.Descriptor(), "the temporary file in " + TemporaryFolder(), destination.path,
                            destination.shown);
        case Destination::StandardOutput:
            std::fflush(stdout);
            if (lseek(file.Descriptor(), 0, SEEK_SET) != 0) {
                return "cannot read the temporary file in " + TemporaryFolder() + ": " + std::strerror(errno);
            }
            return CopyBytes(file.Descriptor(), "the temporary file in " + TemporaryFolder(), STDOUT_FILENO,
                             destination.shown);
        case Destination::InPlace: break;
    }
    return "";
}

}  // namespace

std::string StatusFileOf(const std::string& output) {
    return output + kStatusSuffix;
}

CompleteOutput WriteComplete(const std::string& output, const std::optional<std::string>& statusFile,
                             const std::function<engine::Result(const char* path)>& write) {
    CompleteOutput outcome;
    const Destination out = Resolve(output, true, outcome.failure);
    std::optional<Destination> status;
    if (statusFile) status = Resolve(*statusFile, false, outcome.failure);
    if (!outcome.failure.empty()) return outcome;

    std::unique_ptr<ScratchFile> outFile, statusScratch;
    if (out.kind != Destination::InPlace) outFile = ScratchFor(out, outcome.failure);
    if (status && outcome.failure.empty()) statusScratch = ScratchFor(*status, outcome.failure);
    if (!outcome.failure.empty()) return outcome;

    // What the library is given. It writes the status file at the output's
    // path followed by "_Status.xml", which an unnamed file does not have:
    // then both paths are symbolic links, in a folder of this run's own, to
    // the files meant. The folder goes as soon as the call returns.
    std::string path = outFile ? outFile->Path() : out.path;
    std::unique_ptr<ScratchFolder> links;
    if (status) {
        links = std::make_unique<ScratchFolder>();
        if (!links->Failure().empty()) {
            outcome.failure = "cannot create a temporary folder in " + TemporaryFolder() + ": " + links->Failure();
            return outcome;
        }
        const std::string link = links->Path() + "/o";
        if (symlink(Absolute(path).c_str(), link.c_str()) != 0 ||
            symlink(Absolute(statusScratch->Path()).c_str(), StatusFileOf(link).c_str()) != 0) {
            outcome.failure = "cannot create a temporary file in " + links->Path() + ": " + std::strerror(errno);
            return outcome;
        }
        path = link;
    }

    const engine::Result written = write(path.c_str());
    links.reset();
    outcome.result = written.code;
    if (!written.unwritten.empty()) {
        // Named as the user named it; another file (Temp.xml) as it is.
        const OutputFailure& first = written.unwritten.front();
        const std::string& shown = first.path == path                        ? out.shown
                                   : status && first.path == StatusFileOf(path) ? status->shown
                                                                               : first.path;
        outcome.failure = Describe(shown, first.error);
    }
    if (outcome.result < 0 || !outcome.failure.empty()) return outcome;
    // The status file first: the output appearing is what tells that the
    // conversion is complete.
    if (status) outcome.failure = Deliver(*status, *statusScratch);
    if (outcome.failure.empty() && outFile) outcome.failure = Deliver(out, *outFile);
    return outcome;
}
