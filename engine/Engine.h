// The library's calls, as the exports and the command-line tool make them:
// a request in, a result out. Every call runs guarded:
//
// - One at a time: a call holds the call lock from its first step to its
//   result, so the session (what one call leaves for the next) is used by
//   one call at a time, and overlapping calls give what the same calls give
//   one after the other.
// - Nothing escapes: a call that runs out of memory (the library's own
//   allocations or pugixml's, which tells them by its results) returns
//   kOutOfMemory, gives back what it had built, and leaves run-log
//   entry 13017 ("Memory error") if the logger can still write one.
// - A null pointer where a path is expected is refused with
//   kNullArgument before anything is read, written or remembered.
#pragma once

#include <string>
#include <vector>

#include <pugixml.hpp>

#include "ResultCode.h"
#include "output/OutputFile.h"
#include "converter/ConversionObserver.h"

namespace engine {

enum class Direction { ToCustomer, ToDevice };

// Where a conversion's working directory (the run log's folder) comes from.
enum class Folder {
    HostModule,  // the host module's folder, else the executable's
    Given,       // workingDirectory, as it is
    Settings,    // workingDirectory, else the application-data folder; options from `ini`
};

struct Request {
    Direction direction;
    const char* input;
    const char* output;
    Folder folder = Folder::HostModule;
    const char* workingDirectory = nullptr;
    const char* ini = nullptr;
};

struct Result {
    int code;
    // The files the call could not write in full, with the system's reason.
    std::vector<OutputFailure> unwritten;
};

Result Convert(const Request& request) noexcept;

// The tag list: the dictionary as the last conversion used it, empty before
// the first; with `whole`, the whole dictionary whatever ran before.
Result WriteTagList(const char* path, bool whole = false) noexcept;

// The walk of a conversion over a loaded input, into an output that writes
// nothing and a run log that gets nothing, telling `observer` what it drops
// or alters. Throws std::bad_alloc when memory runs out.
void Inspect(Direction direction, const pugi::xml_document& input, ConversionObserver& observer);
// The element names of the input dialect of a direction.
std::vector<std::string> InputNames(Direction direction);

}  // namespace engine
