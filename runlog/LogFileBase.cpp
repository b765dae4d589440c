// Run-log and device-log files: layout, line format and rotation.
#include "runlog/LogFileBase.h"

#include <cstring>

#include "platform/File.h"
#include "platform/Platform.h"

namespace {

const char kRunLogHeader[] = "Date/Time            : Modulename          LogID   LogText\r\n";
const char kDeviceLogHeader[] = "Date/Time            : Device No        Action         \t\t\tState\r\n";
constexpr std::size_t kRunLogRuleLength = 115;
constexpr std::size_t kDeviceLogRuleLength = 90;
const char kLineEnd[] = "\r\n";

// Every new run log starts with this entry; its own line ends leave an
// empty line behind it.
const char kFirstEntryModule[] = "ZkLog";
constexpr int kFirstEntryCode = 1;
const char kFirstEntryText[] = "Create LogFile\r\n\r\n";

// The code column shows at most this many characters of the code.
constexpr std::size_t kCodeColumnWidth = 5;

bool WriteText(std::FILE* file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

std::string Rule(std::size_t length) { return std::string(length, '-') + kLineEnd; }

// Size of an open file: its end position.
long FileSize(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    return std::ftell(file);
}

const char* FileNameOf(const std::string& path) {
    const char* text = path.c_str();
    const char* name = text;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    return name;
}

}  // namespace

CLogFileBase::CLogFileBase() : m_runLogFile(nullptr), m_deviceLogFile(nullptr), m_maxSize(kDefaultMaxSize) {}

CLogFileBase::~CLogFileBase() {
    if (m_deviceLogFile != nullptr) std::fclose(m_deviceLogFile);
}

int CLogFileBase::SetMaxSize(int bytes) {
    m_maxSize = bytes;
    return m_maxSize;
}

void CLogFileBase::FormatEntry(const std::string& moduleName, int code, std::string& message) {
    const platform::LocalTime now = platform::GetLocalTimeNow();
    char timeStamp[32];
    std::snprintf(timeStamp, sizeof timeStamp, "%04d.%02d.%02d %02d.%02d.%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);

    char codeText[24];
    std::snprintf(codeText, sizeof codeText, "%ld", static_cast<long>(code));
    codeText[kCodeColumnWidth] = '\0';

    // snprintf cuts a line that would be longer than the buffer allows.
    char line[kMaxLineLength + 1];
    std::snprintf(line, sizeof line, "%s : %-20s %-5s   %s", timeStamp, moduleName.c_str(), codeText,
                  message.c_str());
    message = line;
}

std::string CLogFileBase::FirstEntryLine() {
    std::string firstEntry = kFirstEntryText;
    FormatEntry(kFirstEntryModule, kFirstEntryCode, firstEntry);
    return firstEntry;
}

bool CLogFileBase::WriteEntry(const std::string& path, const std::string& line) {
    return WriteEntries({LogEntry{path, line, FirstEntryLine(), m_maxSize}});
}

bool CLogFileBase::WriteEntries(const std::vector<LogEntry>& entries) {
    bool all = true;
    std::size_t next = 0;
    while (next < entries.size()) {
        const std::string path = entries[next].path;
        // Other programs may log into the same file. Holding it from the open
        // to the rotation keeps their entries whole, gives a new file one
        // header, and lets one program at a time decide on a rotation and make
        // it, so that no two rotations discard each other's save file.
        // Another program that holds the file and does not let go (it is
        // stopped) is not waited for. The run log lies in a folder others may
        // write: a link, a pipe, another user's file under its name is never
        // written, and its entries are lost. Without a stream buffer, finding
        // the size is a seek and nothing else, and every text goes straight to
        // the file.
        platform::Refusal why;
        platform::File file = platform::OpenOwnToAppend(path.c_str(), why);
        if (!file) {
            // The entries for this file are lost, as each would be alone.
            while (next < entries.size() && entries[next].path == path) ++next;
            all = false;
            continue;
        }
        m_runLogFile = file.Get();
        bool rotated = false;
        bool written;
        try {
            const long long opened = file.SizeWhenOpened();
            written = AppendToOpen(entries, next, opened >= 0 ? static_cast<long>(opened) : FileSize(file.Get()),
                                   rotated);
        } catch (...) {
            // Out of memory between open and close: no handle is left open.
            m_runLogFile = nullptr;
            throw;
        }
        // A rotation closes the file; the next entry takes the name again.
        const bool closed = rotated ? CloseAndRotate(file, path) : file.Close();
        m_runLogFile = nullptr;
        all = all && written && closed;
    }
    return all;
}

bool CLogFileBase::AppendToOpen(const std::vector<LogEntry>& entries, std::size_t& next, long size,
                                bool& rotated) {
    const std::string& path = entries[next].path;
    bool written = true;
    // The size is found once; then what is written adds to it (nothing else
    // writes the file while it is held).
    auto write = [&](const std::string& text) {
        const bool whole = WriteText(m_runLogFile, text);
        size = whole && size >= 0 ? size + static_cast<long>(text.size()) : std::ftell(m_runLogFile);
        return whole;
    };
    while (next < entries.size() && entries[next].path == path) {
        const LogEntry& entry = entries[next++];
        m_maxSize = entry.maxSize;
        bool entryWritten = true;
        if (size == 0) {
            entryWritten = write(kRunLogHeader) && write(Rule(kRunLogRuleLength)) && write(entry.firstLine);
        }
        entryWritten = entryWritten && write(entry.line + kLineEnd);
        entryWritten = std::fflush(m_runLogFile) == 0 && entryWritten;
        written = written && entryWritten;
        if (size >= static_cast<long>(m_maxSize)) {
            rotated = true;
            break;
        }
    }
    return written;
}

bool CLogFileBase::CloseAndRotate(platform::File& file, const std::string& path) {
    const long size = std::ftell(file.Get());
    if (size < static_cast<long>(m_maxSize)) return file.Close();

    const std::string saveName = MakeSaveName(path);
    if (saveName.empty()) {
        file.Close();
        return false;
    }

    // Only one older generation is kept. The file is moved while no other
    // program can write it.
    return platform::MoveAndClose(file, path.c_str(), saveName.c_str());
}

std::string CLogFileBase::MakeSaveName(const std::string& path) {
    const char* name = FileNameOf(path);
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr) return std::string();
    const std::size_t position = static_cast<std::size_t>(dot - path.c_str());
    return path.substr(0, position) + "_sav" + path.substr(position);
}

bool CLogFileBase::WriteDeviceEntry(const std::string& path, const std::string& line) {
    m_deviceLogFile = platform::OpenStream(path.c_str(), "ab+");
    if (m_deviceLogFile == nullptr) return false;

    bool written = true;
    if (FileSize(m_deviceLogFile) == 0) {
        written = WriteText(m_deviceLogFile, kDeviceLogHeader) &&
                  WriteText(m_deviceLogFile, Rule(kDeviceLogRuleLength));
    }
    written = written && WriteText(m_deviceLogFile, line + kLineEnd);
    written = std::fflush(m_deviceLogFile) == 0 && written;

    const bool closed = std::fclose(m_deviceLogFile) == 0;
    m_deviceLogFile = nullptr;
    return written && closed;
}
