// The logging settings: level and rotation size from Interface.ini, looked at
// before every entry so that a change takes effect with the next one.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/File.h"
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

// The bytes of the settings file that can reach the reader's table of lines;
// false when the file cannot be opened. The file has a fixed name in a
// folder others may write: it is read only where it is a regular file, never
// through a link; where nothing has the name, an empty one is left.
bool ReadSettingsBytes(const std::string& path, std::string& bytes) {
    // Read straight into the string, without a stream buffer in between.
    platform::Refusal why;
    const platform::File file = platform::OpenToRead(path.c_str(), platform::Links::NotLast, why);
    if (!file) {
        if (why == platform::Refusal::Missing && path.size() <= CIniFile::kMaxPathLength) {
            platform::CreateEmptyFile(path.c_str());
        }
        return false;
    }
    bytes.clear();
    char chunk[4096];
    while (bytes.size() < CIniFile::kMaxLoadedBytes) {
        const std::size_t wanted = std::min(sizeof chunk, CIniFile::kMaxLoadedBytes - bytes.size());
        const std::size_t count = std::fread(chunk, 1, wanted, file.Get());
        bytes.append(chunk, count);
        if (count < wanted) break;
    }
    return true;
}

void ParseSettings(CIniFile& reader, int& level, int& maxSize) {
    level = reader.GetInt(kLogSection, kLevelKey, kDefaultLevel);
    if (level < kDefaultLevel || level > kHighestLevel) level = kDefaultLevel;
    maxSize = reader.GetInt(kLogSection, kSizeKey, CLogFileBase::kDefaultMaxSize);
    if (maxSize == 0) maxSize = CLogFileBase::kDefaultMaxSize;
}

}  // namespace

void CZkLogFile::RefreshSettings(const std::string& folder) {
    // The file in the caller's folder shows by itself that the folder exists.
    std::string iniPath;
    platform::FileStamp stamp;
    if (!folder.empty()) {
        iniPath = folder + platform::kPathSeparator + kSettingsFileName;
        stamp = platform::GetFileStamp(iniPath.c_str());
    }
    if (!stamp.exists) {
        iniPath = SettingsFolder(folder) + platform::kPathSeparator + kSettingsFileName;
        stamp = platform::GetFileStamp(iniPath.c_str());
    }

    int level = kDefaultLevel;
    int maxSize = CLogFileBase::kDefaultMaxSize;

    // A file that has not changed since it was last read, by a stamp taken
    // before that read, and whose stamp would show any later change, holds
    // the values parsed then.
    m_lock.Enter();
    const bool unchanged = m_parsed.valid && m_parsed.path == iniPath && m_parsed.stamp.settled &&
                           stamp.SameVersionAs(m_parsed.stamp);
    if (unchanged) {
        m_level = m_parsed.level;
        if (m_logFile != nullptr) m_logFile->SetMaxSize(m_parsed.maxSize);
    }
    m_lock.Leave();
    if (unchanged) return;

    // Otherwise the file is read, without the lock.
    std::string bytes;
    const bool opened = ReadSettingsBytes(iniPath, bytes);

    bool known = false;
    if (opened) {
        m_lock.Enter();
        known = m_parsed.valid && m_parsed.path == iniPath && m_parsed.bytes == bytes;
        if (known) {
            level = m_parsed.level;
            maxSize = m_parsed.maxSize;
        }
        m_lock.Leave();
    }
    if (!known) {
        // The reader holds the whole file in fixed buffers; it lives on the
        // heap. A file that did not open holds no keys.
        auto reader = std::make_unique<CIniFile>(iniPath.c_str(), bytes.data(), opened ? bytes.size() : 0);
        ParseSettings(*reader, level, maxSize);
    }

    // The values are stored under the lock, so that an entry being written by
    // another thread never sees them change.
    m_lock.Enter();
    m_parsed.valid = opened;
    if (opened) {
        m_parsed.path = iniPath;
        m_parsed.stamp = stamp;
        if (!known) {
            m_parsed.bytes.swap(bytes);
            m_parsed.level = level;
            m_parsed.maxSize = maxSize;
        }
    }
    m_level = level;
    if (m_logFile != nullptr) m_logFile->SetMaxSize(maxSize);
    m_lock.Leave();
}
