#include "runlog/ZkLogFile.h"

const std::string g_moduleName = "ZK8_XML_Conv";
const std::string g_logFileName = "Runlog.log";

namespace {

// Entries kept in a batch before it is written anyway.
constexpr std::size_t kBatchLimit = 256;

}  // namespace

bool CZkLogFile::Log(const std::string& moduleName, int level, int code, const std::string& text,
                     const LogTarget& target) {
    const std::string folder = target.folder != nullptr ? target.folder : "";
    // Every step under the lock, which goes however the entry ends (also
    // when it finds no memory).
    const platform::LockScope scope(m_lock);
    // Settings first, in a batch once: another program's change of
    // Interface.ini takes effect with the next call.
    if (!(m_batchDepth > 0 && m_batchRefreshed && m_batchFolder == folder)) {
        m_settings = ReadLogSettings(folder, target.appDataPath, m_cache);
        if (m_batchDepth > 0) {
            m_batchFolder = folder;
            m_batchRefreshed = true;
        }
    }
    if (level > m_settings.level) return false;

    std::string message = GetMessageText(code);
    if (message.empty()) {
        message = text;
    } else {
        message += ' ';
        message += text;
    }
    LogEntry entry{folder + platform::kPathSeparator + g_logFileName, FormatLogLine(moduleName, code, message),
                   FirstLogLine(), m_settings.maxSize};
    if (m_batchDepth == 0) return AppendLogEntries({entry});
    m_batch.push_back(std::move(entry));
    return m_batch.size() < kBatchLimit || WriteBatch();
}

void CZkLogFile::BeginBatch() {
    const platform::LockScope scope(m_lock);
    if (m_batchDepth++ == 0) m_batchRefreshed = false;
}

void CZkLogFile::EndBatch() noexcept {
    const platform::LockScope scope(m_lock);
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
    return AppendLogEntries(entries);
}

CZkLogFile& GetLogger() {
    // Constructed on the first call; the language guarantees that concurrent
    // first calls construct it exactly once. Destroyed at unload.
    static CZkLogFile logger;
    return logger;
}
