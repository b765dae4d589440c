// The logging settings: level and rotation size from Interface.ini, re-read
// before every entry so that a change takes effect with the next one.
#include <memory>
#include <string>

#include "runlog/LogFileBase.h"
#include "runlog/ZkLogFile.h"
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
std::string SettingsFolder(const std::string& folder) {
    if (!folder.empty() && FileExists(folder.c_str())) return folder;
    const std::string appData = GetAppDataPath();
    if (!appData.empty() && FileExists(appData.c_str())) return appData;
    return GetExeFolder();
}

}  // namespace

void CZkLogFile::RefreshSettings(const std::string& folder) {
    const std::string iniPath = SettingsFolder(folder) + platform::kPathSeparator + kSettingsFileName;

    // The reader holds the whole file in fixed buffers; it lives on the heap.
    int level = kDefaultLevel;
    int maxSize = CLogFileBase::kDefaultMaxSize;
    {
        auto reader = std::make_unique<CIniFile>(iniPath.c_str());
        level = reader->GetInt(kLogSection, kLevelKey, kDefaultLevel);
        if (level < kDefaultLevel || level > kHighestLevel) level = kDefaultLevel;
        maxSize = reader->GetInt(kLogSection, kSizeKey, CLogFileBase::kDefaultMaxSize);
        if (maxSize == 0) maxSize = CLogFileBase::kDefaultMaxSize;
    }

    // The file is read without the lock; the values are stored under it, so
    // that an entry being written by another thread never sees them change.
    m_lock.Enter();
    m_level = level;
    if (m_logFile != nullptr) m_logFile->SetMaxSize(maxSize);
    m_lock.Leave();
}
