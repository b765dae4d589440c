// The run-log object of the library: numbered, level-filtered entries.
#pragma once

#include <string>
#include <vector>

#include "runlog/LogFile.h"

#include "platform/Platform.h"

// Name every entry of this library carries as its module name.
extern const std::string g_moduleName;
// File name of the run log inside the working directory.
extern const std::string g_logFileName;

class CZkLogFile {
public:
    CZkLogFile();
    virtual ~CZkLogFile();
    CZkLogFile(const CZkLogFile&) = delete;
    CZkLogFile& operator=(const CZkLogFile&) = delete;

    // Writes one entry into folder/Runlog.log when level <= the configured
    // level. True when the entry was written and the file closed (in a
    // batch: when it was kept).
    bool Log(const std::string& moduleName, int level, int code, const std::string& text,
             const std::string& folder);

    // While a batch is open, entries are kept, each as it was made (its time,
    // its rotation size), and written together when the batch closes or when
    // many have gathered: an export's entries with one open and one lock of
    // the run log instead of one each. The file's bytes are those the entries
    // written one by one would give.
    void BeginBatch();
    void EndBatch() noexcept;

    // Re-reads the level and the rotation size from Interface.ini.
    void RefreshSettings(const std::string& folder);

    int Level() const { return m_level; }

private:
    bool WriteBatch();

    CLogFile* m_logFile;
    std::vector<LogEntry> m_batch;
    int m_batchDepth = 0;
    // The settings were read in this batch, for entries into this folder.
    bool m_batchRefreshed = false;
    std::string m_batchFolder;
    platform::Lock m_lock;
    int m_level;

    // The settings file as last read: its path, its stamp taken before the
    // read, its bytes (as far as they can matter) and the two values they
    // gave. A refresh whose stamp is settled and unchanged reads nothing; one
    // that reads the same bytes again skips the parse. Guarded by m_lock.
    struct ParsedSettings {
        bool valid = false;
        std::string path;
        platform::FileStamp stamp;
        std::string bytes;
        int level = 1;
        int maxSize = 0;
    };
    ParsedSettings m_parsed;
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
