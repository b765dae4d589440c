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

}  // namespace

CZkLogFile::CZkLogFile() : m_logFile(new CLogFileBase()), m_level(1) {}

CZkLogFile::~CZkLogFile() { delete m_logFile; }

bool CZkLogFile::Log(const std::string& moduleName, int level, int code, const std::string& text,
                     const std::string& folder) {
    // The settings are read before the lock is taken, so that the file
    // access of the ini reader does not hold up other threads.
    RefreshSettings(folder);

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
    return m_logFile->WriteEntry(folder + platform::kPathSeparator + g_logFileName, message);
}

CZkLogFile& GetLogger() {
    // Constructed on the first call; the language guarantees that concurrent
    // first calls construct it exactly once. Destroyed at unload.
    static CZkLogFile logger;
    return logger;
}
