// The run log of the library: numbered, level-filtered entries appended to
// Runlog.log in the folder each entry names, with the level and the rotation
// size from Interface.ini.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "runlog/LogSettings.h"
#include "runlog/RunLogFile.h"

// Name every entry of this library carries as its module name.
extern const std::string g_moduleName;
// File name of the run log inside the working directory.
extern const std::string g_logFileName;

// Where an entry goes: the folder of the run log and of its settings, and the
// remembered application-data path (kPathBufferSize bytes), asked for anew
// where the settings are not in that folder (null: none is remembered).
struct LogTarget {
    const char* folder;
    char* appDataPath = nullptr;
};

class CZkLogFile {
public:
    CZkLogFile() = default;
    CZkLogFile(const CZkLogFile&) = delete;
    CZkLogFile& operator=(const CZkLogFile&) = delete;

    // Writes one entry into folder/Runlog.log when its level is at or below
    // the configured one. True when the entry was written and the file
    // closed (in a batch: when it was kept).
    bool Log(const std::string& moduleName, int level, int code, const std::string& text, const LogTarget& target);
    bool Log(const std::string& moduleName, int level, int code, const std::string& text,
             const std::string& folder) {
        return Log(moduleName, level, code, text, LogTarget{folder.c_str()});
    }

    // While a batch is open, entries are kept, each as it was made (its time,
    // its rotation size), and written together when the batch closes or when
    // many have gathered: an export's entries with one open and one hold of
    // the run log instead of one each, and the settings looked at once. The
    // file's bytes are those the entries written one by one would give.
    void BeginBatch();
    void EndBatch() noexcept;

    // The level and rotation size in force, from the last entry's settings.
    int Level() const { return m_settings.level; }

private:
    bool WriteBatch();

    platform::Lock m_lock;
    LogSettings m_settings{1, kDefaultRotationSize};
    LogSettingsCache m_cache;
    std::vector<LogEntry> m_batch;
    int m_batchDepth = 0;
    // The settings were read in this batch, for entries into this folder.
    bool m_batchRefreshed = false;
    std::string m_batchFolder;
};

// The one logger, created on first use.
CZkLogFile& GetLogger();

// Holds a batch of the logger open for one scope.
class CLogBatch {
public:
    CLogBatch() { GetLogger().BeginBatch(); }
    ~CLogBatch() { GetLogger().EndBatch(); }
    CLogBatch(const CLogBatch&) = delete;
    CLogBatch& operator=(const CLogBatch&) = delete;
};

// Catalogue text of a message code.
std::string GetMessageText(int code);
