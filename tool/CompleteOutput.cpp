#include "tool/CompleteOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "to_customer/StatusFile.h"
#include "tool/FileCopy.h"
#include "tool/ScratchFiles.h"

namespace fs = std::filesystem;

namespace {

std::string Describe(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

// Where a file the tool was asked for goes, and how it gets there.
struct Destination {
    enum Kind {
        Replaced,        // a temporary file beside it is renamed over it
        InPlace,         // an output that is not a regular file: the library writes it
        Copied,          // a status file that is not a regular file: copied into when complete
        StandardOutput,  // "-": copied out when complete
    };
    std::string shown;  // as the user named it
    std::string path;   // its symbolic links followed
    Kind kind;
    // The file did not exist: a symbolic link led nowhere yet, and the file
    // it names was made (empty) to learn where it lies. It goes again unless
    // the conversion delivers it.
    bool made = false;
};

// The file a path names, its symbolic links followed by the kernel, with its
// protections (fs.protected_symlinks: in a sticky folder that everyone may
// write, a link of another user is not followed): the path is opened, and the
// open file asked where it lies. A link whose target does not exist yet is
// followed as an open for writing follows it, which makes the target. A path
// that is no link is taken as it is.
std::string FollowLinks(const std::string& path, int& error, bool& made) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
        made = fd >= 0;
    }
    if (fd < 0) {
        error = errno;
        return path;
    }
    std::error_code failed;
    const fs::path target = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), failed);
    close(fd);
    if (failed) {
        error = failed.value();
        return path;
    }
    return target.string();
}

Destination Resolve(const std::string& given, bool output, std::string& failure) {
    if (given == "-") return {"standard output", "", Destination::StandardOutput};
    int error = 0;
    bool made = false;
    Destination destination{given, FollowLinks(given, error, made), Destination::Replaced, made};
    if (error != 0 && failure.empty()) failure = Describe(given, error);
    struct stat st {};
    if (stat(destination.path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        destination.kind = output ? Destination::InPlace : Destination::Copied;
    }
    return destination;
}

// The same file, or both standard output.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == "-" || b == "-") return a == b;
    struct stat first {}, second {};
    if (stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    std::error_code ignored;
    return fs::weakly_canonical(a, ignored) == fs::weakly_canonical(b, ignored);
}

// Removes the files made by following links that the conversion did not
// deliver.
class MadeFiles {
public:
    void Note(const Destination& destination) {
        if (destination.made) m_paths.push_back(destination.path);
    }
    void Delivered() { m_paths.clear(); }
    ~MadeFiles() {
        for (const std::string& path : m_paths) unlink(path.c_str());
    }

private:
    std::vector<std::string> m_paths;
};

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
    return CStatusFile::PathOf(output);
}

bool SameDestination(const std::string& a, const std::string& b) { return SameFile(a, b); }

CompleteOutput WriteComplete(const std::string& output, const std::optional<std::string>& statusFile,
                             const std::function<engine::Result(const char* path)>& write) {
    CompleteOutput outcome;
    MadeFiles made;
    const Destination out = Resolve(output, true, outcome.failure);
    made.Note(out);
    std::optional<Destination> status;
    if (statusFile) {
        status = Resolve(*statusFile, false, outcome.failure);
        made.Note(*status);
    }
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
    if (outcome.failure.empty()) made.Delivered();
    return outcome;
}
