// The tool's files are written whole or not at all. The library writes them
// under a temporary name beside the final one; only when every file it was
// asked for (the output, and the status file of a device-to-customer
// conversion) was written in full are they renamed into place. A failed
// write leaves no truncated file that looks finished, and an earlier output
// of the same name as it was.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/Engine.h"

struct CompleteOutput {
    int result = 0;       // what the export returned
    std::string failure;  // empty, or the file that could not be written and why
};

// Where a device-to-customer conversion's status file goes by default.
std::string StatusFileOf(const std::string& output);

// Calls `write` with the path to write to. `statusFile`: the call also
// writes the path followed by "_Status.xml", which is to end up there.
CompleteOutput WriteComplete(const std::string& output, const std::optional<std::string>& statusFile,
                             const std::function<engine::Result(const char* path)>& write);
