#include "tool/ScratchFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kPrefix[] = "zk8conv.";

std::string Reason() {
    return std::strerror(errno);
}

// This machine's name, in the names: a folder that programs of several
// machines write into (a network share) holds names whose process numbers
// mean nothing here.
const std::string& Host() {
    static const std::string host = [] {
        char name[256] = {};
        std::string text = gethostname(name, sizeof name - 1) == 0 ? name : "";
        for (char& c : text) {
            if (c == '/') c = '_';
        }
        return text.empty() ? std::string("localhost") : text;
    }();
    return host;
}

std::string NewName(const std::string& folder, bool hidden) {
    static unsigned counter = 0;
    const std::string name = std::string(hidden ? "." : "") + kPrefix + Host() + "." + std::to_string(getpid()) +
                             "." + std::to_string(counter++);
    return folder.empty() ? name : folder + "/" + name;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() < 10 && text.find_first_not_of("0123456789") == std::string::npos;
}

// The process number of a name made by NewName on this machine, else 0.
pid_t MadeHere(std::string name) {
    if (!name.empty() && name[0] == '.') name.erase(0, 1);
    if (name.compare(0, sizeof kPrefix - 1, kPrefix) != 0) return 0;
    name.erase(0, sizeof kPrefix - 1);
    const std::size_t last = name.rfind('.');
    if (last == std::string::npos || last == 0 || !AllDigits(name.substr(last + 1))) return 0;
    const std::size_t before = name.rfind('.', last - 1);
    if (before == std::string::npos) return 0;
    const std::string pid = name.substr(before + 1, last - before - 1);
    if (!AllDigits(pid) || name.substr(0, before) != Host()) return 0;
    return static_cast<pid_t>(std::stol(pid));
}

mode_t Umask() {
    static const mode_t mask = [] {
        const mode_t current = umask(022);
        umask(current);
        return current;
    }();
    return mask;
}

}  // namespace

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

void RemoveStale(const std::string& folder) {
    static std::set<std::string> done;
    std::string key = folder;
    while (key.size() > 1 && key.back() == '/') key.pop_back();
    if (key.empty()) key = ".";
    if (!done.insert(key).second) return;
    DIR* dir = opendir(key.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(dir)) {
        const pid_t pid = MadeHere(entry->d_name);
        if (pid > 0 && pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH) stale.push_back(entry->d_name);
    }
    closedir(dir);
    std::error_code ignored;
    for (const std::string& name : stale) fs::remove_all(key + "/" + name, ignored);
}

ScratchFile::ScratchFile(const std::string& folder, bool hidden) : m_folder(folder), m_hidden(hidden) {
    RemoveStale(folder);
#ifdef O_TMPFILE
    m_descriptor = open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_descriptor >= 0) {
        m_path = "/proc/self/fd/" + std::to_string(m_descriptor);
        if (access(m_path.c_str(), F_OK) == 0) return;
        // Without /proc the file cannot be reached by a path: a named one.
        close(m_descriptor);
        m_descriptor = -1;
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        // EISDIR, EINVAL: a system that knows no O_TMPFILE.
        m_failure = Reason();
        return;
    }
#endif
    for (int tries = 0;; ++tries) {
        const std::string name = NewName(folder, hidden);
        m_descriptor = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (m_descriptor >= 0) {
            m_path = m_name = name;
            return;
        }
        if (errno != EEXIST || tries == 100) {
            m_failure = Reason();
            return;
        }
    }
}

ScratchFile::~ScratchFile() {
    if (m_descriptor >= 0) close(m_descriptor);
    if (!m_name.empty()) unlink(m_name.c_str());
}

std::string ScratchFile::Replace(const std::string& target, const std::string& shown) {
    const auto failed = [&shown] { return "cannot write " + shown + ": " + Reason(); };
    struct stat earlier {};
    const bool replacing = stat(target.c_str(), &earlier) == 0;
    if (!replacing && errno != ENOENT) return failed();
    if (replacing) {
        // Owner first: a change of owner clears the set-user-ID bits.
        struct stat own {};
        if (fstat(m_descriptor, &own) != 0) return failed();
        if ((own.st_uid != earlier.st_uid || own.st_gid != earlier.st_gid) &&
            fchown(m_descriptor, earlier.st_uid, earlier.st_gid) != 0) {
            return "cannot keep the owner of " + shown + ": " + Reason();
        }
    }
    if (fchmod(m_descriptor, replacing ? earlier.st_mode & 07777 : 0666 & ~Umask()) != 0) return failed();
    // An unnamed file gets a name first: a file can be linked in only where
    // no name is, and rename is what replaces one in a single step.
    for (int tries = 0; m_name.empty(); ++tries) {
        const std::string name = NewName(m_folder, m_hidden);
        if (linkat(AT_FDCWD, m_path.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            m_name = name;
        } else if (errno != EEXIST || tries == 100) {
            return failed();
        }
    }
    if (std::rename(m_name.c_str(), target.c_str()) != 0) return failed();
    m_name.clear();
    return "";
}

ScratchFolder::ScratchFolder() {
    const std::string folder = TemporaryFolder();
    RemoveStale(folder);
    for (int tries = 0;; ++tries) {
        const std::string name = NewName(folder, false);
        if (mkdir(name.c_str(), 0700) == 0) {
            m_path = name;
            return;
        }
        if (errno != EEXIST || tries == 100) {
            m_failure = Reason();
            return;
        }
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (!m_path.empty()) fs::remove_all(m_path, ignored);
}
