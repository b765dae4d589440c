// Fallback folders of the library: the product's application-data folder,
// the executable's folder, the current directory, and the existence test.
#include "settings/Folders.h"

#include <cstring>
#include <string>

#include "platform/Platform.h"

namespace {

const char kMakerFolder[] = "ORVANE";
const char kProductFolder[] = "Kelmora";
// Executable paths are taken into a buffer of this size; longer ones are cut.
constexpr std::size_t kExePathBufferSize = 256;

}  // namespace

int GetWindowsVersionClass() { return platform::GetVersionClass(); }

const char* GetAppDataPath(char* remembered) {
    const int versionClass = GetWindowsVersionClass();
    if (versionClass == 0) {
        // Old systems have no common application-data folder.
        platform::GetCurrentDirectoryPath(remembered, kPathBufferSize);
        return remembered;
    }

    char common[kPathBufferSize];
    if (platform::GetCommonAppDataFolder(common, sizeof common) < 0) return remembered;

    std::string path = common;
    path += platform::kPathSeparator;
    path += kMakerFolder;
    path += platform::kPathSeparator;
    path += kProductFolder;
    // A path that does not fit counts as a failed query: the last good
    // value stays.
    if (path.size() >= kPathBufferSize) return remembered;
    std::memcpy(remembered, path.c_str(), path.size() + 1);
    return remembered;
}

std::string GetExeFolder() {
    char path[kExePathBufferSize] = "";
    platform::GetExecutablePath(path, sizeof path);
    const char* separator = std::strrchr(path, platform::kPathSeparator);
    if (separator == nullptr) return std::string(path);
    return std::string(path, static_cast<std::size_t>(separator - path));
}

bool GetCurrentDirectoryString(std::string& out) {
    char path[kPathBufferSize];
    if (!platform::GetCurrentDirectoryPath(path, sizeof path)) {
        out.clear();
        return false;
    }
    out = path;
    return true;
}

bool FileExists(const char* path) { return platform::PathExists(path); }
