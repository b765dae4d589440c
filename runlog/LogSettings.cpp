#include "runlog/LogSettings.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/File.h"
#include "runlog/RunLogFile.h"
#include "settings/Folders.h"
#include "settings/IniFile.h"

namespace {

const char kSettingsFileName[] = "Interface.ini";
const char kLogSection[] = "LogFiles";
const char kLevelKey[] = "LoggingLevel";
const char kSizeKey[] = "RunLogSize";
constexpr int kDefaultLevel = 1;
constexpr int kHighestLevel = 3;

// The folder that holds Interface.ini: the caller's folder, else the
// application-data folder, else the executable's folder.
std::string SettingsFolder(const std::string& folder, char* appDataPath) {
    if (!folder.empty() && FileExists(folder.c_str())) return folder;
    char own[kPathBufferSize] = "";
    const std::string appData = GetAppDataPath(appDataPath != nullptr ? appDataPath : own);
    if (!appData.empty() && FileExists(appData.c_str())) return appData;
    return GetExeFolder();
}

// The bytes of the settings file that can reach the reader's table of lines;
// false when the file cannot be opened. The file has a fixed name in a
// folder others may write: it is read only where it is a regular file, never
// through a link; where nothing has the name, an empty one is left (where
// the reader would take its path).
bool ReadSettingsBytes(const std::string& path, std::string& bytes) {
    platform::Refusal why;
    platform::File file = platform::OpenToRead(path.c_str(), platform::Links::NotLast, why);
    if (!file) {
        if (why == platform::Refusal::Missing && path.size() <= CIniFile::kMaxPathLength) {
            platform::CreateEmptyFile(path.c_str());
        }
        return false;
    }
    // Read straight into the string, without a stream buffer in between.
    bytes.clear();
    char chunk[4096];
    while (bytes.size() < CIniFile::kMaxLoadedBytes) {
        const std::size_t wanted = std::min(sizeof chunk, CIniFile::kMaxLoadedBytes - bytes.size());
        const std::size_t count = file.Read(chunk, wanted);
        bytes.append(chunk, count);
        if (count < wanted) break;
    }
    return true;
}

LogSettings Parse(const std::string& path, const std::string& bytes) {
    // The reader holds the whole file in fixed buffers; it lives on the heap.
    const auto reader = std::make_unique<CIniFile>(path.c_str(), bytes.data(), bytes.size());
    LogSettings settings{reader->GetInt(kLogSection, kLevelKey, kDefaultLevel),
                         reader->GetInt(kLogSection, kSizeKey, kDefaultRotationSize)};
    if (settings.level < kDefaultLevel || settings.level > kHighestLevel) settings.level = kDefaultLevel;
    if (settings.maxSize == 0) settings.maxSize = kDefaultRotationSize;
    return settings;
}

}  // namespace

LogSettings ReadLogSettings(const std::string& folder, char* appDataPath, LogSettingsCache& cache) {
    // The file in the caller's folder shows by itself that the folder exists.
    std::string iniPath;
    platform::FileStamp stamp;
    if (!folder.empty()) {
        iniPath = folder + platform::kPathSeparator + kSettingsFileName;
        stamp = platform::GetFileStamp(iniPath.c_str());
    }
    if (!stamp.exists) {
        iniPath = SettingsFolder(folder, appDataPath) + platform::kPathSeparator + kSettingsFileName;
        stamp = platform::GetFileStamp(iniPath.c_str());
    }
    // A file that has not changed since it was last read, by a stamp taken
    // before that read, and whose stamp would show any later change, holds
    // the settings parsed then.
    if (cache.valid && cache.path == iniPath && cache.stamp.settled && stamp.SameVersionAs(cache.stamp)) {
        return cache.settings;
    }
    std::string bytes;
    if (!ReadSettingsBytes(iniPath, bytes)) {
        cache.valid = false;
        return LogSettings{kDefaultLevel, kDefaultRotationSize};
    }
    if (!(cache.valid && cache.path == iniPath && cache.bytes == bytes)) {
        cache.settings = Parse(iniPath, bytes);
        cache.bytes.swap(bytes);
    }
    cache.valid = true;
    cache.path = iniPath;
    cache.stamp = stamp;
    return cache.settings;
}
