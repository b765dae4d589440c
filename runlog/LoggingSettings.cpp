// The logging settings: level and rotation size from Interface.ini, looked at
// before every entry so that a change takes effect with the next one.
#include <algorithm>
#include <cstdio>
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

// The bytes of the settings file that can reach the reader's table of lines;
// false when the file cannot be opened.
bool ReadSettingsBytes(const std::string& path, std::string& bytes) {
    // Read straight into the string, without a stream buffer in between.
    std::FILE* file = platform::OpenStream(path.c_str(), "rb");
    if (file == nullptr) return false;
    bytes.clear();
    char chunk[4096];
    try {
        while (bytes.size() < CIniFile::kMaxLoadedBytes) {
            const std::size_t wanted = std::min(sizeof chunk, CIniFile::kMaxLoadedBytes - bytes.size());
            const std::size_t count = std::fread(chunk, 1, wanted, file);
            bytes.append(chunk, count);
            if (count < wanted) break;
        }
    } catch (...) {
        std::fclose(file);
        throw;
    }
    std::fclose(file);
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
        // heap. A file that does not open is left to the reader, which then
        // creates it empty.
        auto reader = opened ? std::make_unique<CIniFile>(iniPath.c_str(), bytes.data(), bytes.size())
                             : std::make_unique<CIniFile>(iniPath.c_str());
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
