// Interface of the log file writers: formatting and appending of run-log
// lines, the device action log, and the rotation threshold.
#pragma once

#include <string>
#include <vector>

// One run-log entry as it was made: the file, the formatted line, the line
// a new file would begin with at that moment, and the rotation size then.
struct LogEntry {
    std::string path;
    std::string line;
    std::string firstLine;
    int maxSize;
};

class CLogFile {
public:
    virtual ~CLogFile() = default;

    // Appends one run-log line (a CR LF is added). True when the line was
    // written, the file closed and, where due, rotated.
    virtual bool WriteEntry(const std::string& path, const std::string& line) = 0;
    // Appends entries in their order, each as WriteEntry would have at the
    // time it was made; consecutive entries of one file with one open of it.
    // True when all were written, closed and, where due, rotated.
    virtual bool WriteEntries(const std::vector<LogEntry>& entries) = 0;
    // The entry a new run log begins with, stamped now.
    virtual std::string FirstEntryLine() = 0;
    virtual int MaxSize() const = 0;
    // Appends one line to a device action log. True when written and closed.
    virtual bool WriteDeviceEntry(const std::string& path, const std::string& line) = 0;
    // Replaces message by the formatted run-log line for module and code.
    virtual void FormatEntry(const std::string& moduleName, int code, std::string& message) = 0;
    // Sets the size in bytes at which the run log is rotated; returns it.
    virtual int SetMaxSize(int bytes) = 0;
};
