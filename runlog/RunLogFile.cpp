#include "runlog/RunLogFile.h"

#include <cstdio>
#include <cstring>

#include "platform/File.h"
#include "platform/Platform.h"

namespace {

const char kHeader[] = "Date/Time            : Modulename          LogID   LogText\r\n";
constexpr std::size_t kRuleLength = 115;
const char kLineEnd[] = "\r\n";

// Every new run log starts with this entry; its own line ends leave an
// empty line behind it.
const char kFirstEntryModule[] = "ZkLog";
constexpr int kFirstEntryCode = 1;
const char kFirstEntryText[] = "Create LogFile\r\n\r\n";

// The code column shows at most this many characters of the code.
constexpr std::size_t kCodeColumnWidth = 5;

const char* FileNameOf(const std::string& path) {
    const char* name = path.c_str();
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    return name;
}

// Appends entries from `next` on while they name the open file, whose size
// is `size`, in one write; stops after an entry that makes the file reach its
// rotation size (`rotate`). False when the write failed. Nothing else writes
// the file while it is held, so its size is what was written added to what
// it had.
bool AppendToOpen(platform::File& file, const std::vector<LogEntry>& entries, std::size_t& next, long size,
                  bool& rotate) {
    const std::string& path = entries[next].path;
    std::string text;
    while (next < entries.size() && entries[next].path == path) {
        const LogEntry& entry = entries[next++];
        if (size + static_cast<long>(text.size()) == 0) {
            text += kHeader;
            text.append(kRuleLength, '-');
            text += kLineEnd;
            text += entry.firstLine;
        }
        text += entry.line;
        text += kLineEnd;
        if (size + static_cast<long>(text.size()) >= static_cast<long>(entry.maxSize)) {
            rotate = true;
            break;
        }
    }
    return file.Write(text.data(), text.size());
}

}  // namespace

std::string FormatLogLine(const std::string& moduleName, int code, const std::string& message) {
    const platform::LocalTime now = platform::GetLocalTimeNow();
    char timeStamp[32];
    std::snprintf(timeStamp, sizeof timeStamp, "%04d.%02d.%02d %02d.%02d.%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    char codeText[24];
    std::snprintf(codeText, sizeof codeText, "%ld", static_cast<long>(code));
    codeText[kCodeColumnWidth] = '\0';
    // snprintf cuts a line that would be longer than the buffer allows.
    char line[kMaxLogLineLength + 1];
    std::snprintf(line, sizeof line, "%s : %-20s %-5s   %s", timeStamp, moduleName.c_str(), codeText,
                  message.c_str());
    return line;
}

std::string FirstLogLine() { return FormatLogLine(kFirstEntryModule, kFirstEntryCode, kFirstEntryText); }

bool AppendLogEntries(const std::vector<LogEntry>& entries) {
    bool all = true;
    std::size_t next = 0;
    while (next < entries.size()) {
        const std::string path = entries[next].path;
        // Other programs may log into the same file. Holding it from the open
        // to the rotation keeps their entries whole, gives a new file one
        // head, and lets one program at a time decide on a rotation and make
        // it, so that no two rotations discard each other's save file. The run
        // log lies in a folder others may write: a link, a pipe, another
        // user's file under its name is never written, and a file another
        // program holds for too long (it is stopped) is not waited for: the
        // entries for that file are lost, as each would be alone.
        platform::Refusal why;
        platform::File file = platform::OpenOwnToAppend(path.c_str(), why);
        if (!file) {
            while (next < entries.size() && entries[next].path == path) ++next;
            all = false;
            continue;
        }
        long size = static_cast<long>(file.SizeWhenOpened());
        if (size < 0) size = std::fseek(file.Stream(), 0, SEEK_END) == 0 ? std::ftell(file.Stream()) : -1;
        bool rotate = false;
        const bool written = AppendToOpen(file, entries, next, size, rotate);
        // A rotation closes the file; the next entry takes the name again.
        // Only one older generation is kept; the file is moved while no
        // other program can write it.
        const std::string saveName = rotate ? SaveNameOf(path) : std::string();
        bool closed;
        if (!rotate) {
            closed = file.Close();
        } else if (saveName.empty()) {
            file.Close();
            closed = false;
        } else {
            closed = platform::MoveAndClose(file, path.c_str(), saveName.c_str());
        }
        all = all && written && closed;
    }
    return all;
}

std::string SaveNameOf(const std::string& path) {
    const char* dot = std::strrchr(FileNameOf(path), '.');
    if (dot == nullptr) return std::string();
    const std::size_t position = static_cast<std::size_t>(dot - path.c_str());
    return path.substr(0, position) + "_sav" + path.substr(position);
}
