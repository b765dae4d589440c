// The run-log file on disk: fixed-column lines behind a header, appended one
// entry at a time and rotated to a single save file at a size threshold.
#pragma once

#include <cstdio>
#include <string>

#include "platform/File.h"
#include "runlog/LogFile.h"

class CLogFileBase : public CLogFile {
public:
    CLogFileBase();
    ~CLogFileBase() override;
    CLogFileBase(const CLogFileBase&) = delete;
    CLogFileBase& operator=(const CLogFileBase&) = delete;

    bool WriteEntry(const std::string& path, const std::string& line) override;
    bool WriteEntries(const std::vector<LogEntry>& entries) override;
    std::string FirstEntryLine() override;
    int MaxSize() const override { return m_maxSize; }
    bool WriteDeviceEntry(const std::string& path, const std::string& line) override;
    void FormatEntry(const std::string& moduleName, int code, std::string& message) override;
    int SetMaxSize(int bytes) override;

    // The path with "_sav" before the extension of its file name; empty when
    // the file name has no extension.
    static std::string MakeSaveName(const std::string& path);

    // Longest formatted line; longer lines are cut to this length.
    static constexpr std::size_t kMaxLineLength = 511;
    static constexpr int kDefaultMaxSize = 81920;

private:
    // Closes the open run log and, once it has reached the threshold, moves
    // it to its save name and leaves an empty run log in its place.
    bool CloseAndRotate(platform::File& file, const std::string& path);
    // Writes entries from `next` on while they name the open run log, whose
    // size is `size`; stops after an entry that made it rotate. False when a
    // write failed.
    bool AppendToOpen(const std::vector<LogEntry>& entries, std::size_t& next, long size, bool& rotated);

    std::FILE* m_runLogFile;
    std::FILE* m_deviceLogFile;
    int m_maxSize;
};
