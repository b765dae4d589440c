// The logger of the library: level filter, message composition and the lock
// around the writing of one run-log entry.
#include "runlog/ZkLogFile.h"

#include "runlog/LogFileBase.h"

const std::string g_moduleName = "ZK8_XML_Conv";
const std::string g_logFileName = "Runlog.log";

namespace {

// Holds the logger's lock for one scope.
class LockScope {
public:
    explicit LockScope(platform::Lock& lock) : m_lock(lock) { m_lock.Enter(); }
    ~LockScope() { m_lock.Leave(); }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    platform::Lock& m_lock;
};

// Entries kept in a batch before it is written anyway.
constexpr std::size_t kBatchLimit = 256;

}  // namespace

CZkLogFile::CZkLogFile() : m_logFile(new CLogFileBase()), m_level(1) {}

CZkLogFile::~CZkLogFile() { delete m_logFile; }

bool CZkLogFile::Log(const std::string& moduleName, int level, int code, const std::string& text,
                     const std::string& folder) {
    // The settings are read before the lock is taken, so that the file
    // access of the ini reader does not hold up other threads; in a batch
    // (one export's entries), once: another program's change takes effect
    // with the next call.
    bool refresh = true;
    {
        LockScope scope(m_lock);
        refresh = !(m_batchDepth > 0 && m_batchRefreshed && m_batchFolder == folder);
    }
    if (refresh) {
        RefreshSettings(folder);
        LockScope scope(m_lock);
        if (m_batchDepth > 0) {
            m_batchFolder = folder;
            m_batchRefreshed = true;
        }
    }

    LockScope scope(m_lock);
    if (level > m_level) return false;

    std::string message = GetMessageText(code);
    if (message.empty()) {
        message = text;
    } else {
        message += ' ';
        message += text;
    }

    if (m_logFile == nullptr) return false;
    m_logFile->FormatEntry(moduleName, code, message);
    std::string path = folder + platform::kPathSeparator + g_logFileName;
    if (m_batchDepth == 0) return m_logFile->WriteEntry(path, message);
    m_batch.push_back(LogEntry{std::move(path), std::move(message), m_logFile->FirstEntryLine(), m_logFile->MaxSize()});
    return m_batch.size() < kBatchLimit || WriteBatch();
}

void CZkLogFile::BeginBatch() {
    LockScope scope(m_lock);
    if (m_batchDepth++ == 0) m_batchRefreshed = false;
}

void CZkLogFile::EndBatch() noexcept {
    LockScope scope(m_lock);
    if (--m_batchDepth > 0 || m_batch.empty()) return;
    try {
        WriteBatch();
    } catch (...) {
        // Out of memory while writing: what is left of the batch is lost.
    }
    m_batch.clear();
}

bool CZkLogFile::WriteBatch() {
    std::vector<LogEntry> entries;
    entries.swap(m_batch);
    return m_logFile != nullptr && m_logFile->WriteEntries(entries);
}

CZkLogFile& GetLogger() {
    // Constructed on the first call; the language guarantees that concurrent
    // first calls construct it exactly once. Destroyed at unload.
    static CZkLogFile logger;
    return logger;
}
