// The tool's files are written whole or not at all. The library writes them
// into temporary files in the folders they are meant for (unnamed where the
// system allows: tool/ScratchFiles.h); only when every file it was asked for
// (the output, and the status file of a device-to-customer conversion) was
// written in full are they put in place, the status file first. A failed
// write leaves no truncated file that looks finished, and an earlier output
// of the same name as it was. Symbolic links are followed as the kernel
// follows them (with its protections against links planted by others): the
// file they lead to is replaced, with its owner and mode. An output that is not a
// regular file (a device, a pipe) is written in place; such a status file
// gets its bytes once the conversion is complete.
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
// Whether two paths name one file ("-": standard output), so that one
// write would take the other's place.
bool SameDestination(const std::string& a, const std::string& b);

// Calls `write` with the path to write to; `output` "-" is standard output,
// which gets the bytes once they are complete. `statusFile`: the call also
// writes the path followed by "_Status.xml", which is to end up there.
CompleteOutput WriteComplete(const std::string& output, const std::optional<std::string>& statusFile,
                             const std::function<engine::Result(const char* path)>& write);
