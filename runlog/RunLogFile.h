// The run-log file on disk: fixed-column lines behind a header, appended and
// rotated to a single save file at a size threshold.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Longest formatted line; longer lines are cut to this length.
constexpr std::size_t kMaxLogLineLength = 511;
// Rotation size of a run log whose settings give none.
constexpr int kDefaultRotationSize = 81920;

// One entry as it was made: the file, the formatted line, the line a new
// file would begin with at that moment, and the rotation size then.
struct LogEntry {
    std::string path;
    std::string line;
    std::string firstLine;
    int maxSize;
};

// The line of an entry: local time, module, code (five columns at most) and
// message.
std::string FormatLogLine(const std::string& moduleName, int code, const std::string& message);
// The entry a new run log begins with, stamped now.
std::string FirstLogLine();

// Appends the entries in their order, each as it would have been written
// alone when it was made (a head into an empty file, a rotation once the
// file reaches the entry's size); consecutive entries of one file with one
// open of it. True when all were written, closed and, where due, rotated.
bool AppendLogEntries(const std::vector<LogEntry>& entries);

// The path with "_sav" before the extension of its file name; empty when the
// file name has no extension.
std::string SaveNameOf(const std::string& path);
