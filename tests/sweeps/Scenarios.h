// The scenarios both sweeps run (AllocSweep.cpp, WriteSweep.cpp): one call
// of an export on files of the scenario's own, with the bytes it must
// give, written out here or taken from the shipped results (examples/).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The UTF-16LE units of UTF-8 text: sequences of up to three bytes are one
// unit each (a surrogate written in its three-byte form too), four bytes a
// surrogate pair.
std::string Utf16Units(const std::string& utf8);
// FF FE and the units: the bytes of an output or status file whose text the
// shipped results show.
std::string Utf16(const std::string& utf8);

// A file the call must have written in full before it converts, and the
// result when it could not be: the saved ini file's temporary copy (-90),
// Temp.xml (-95).
struct Prerequisite {
    std::string what;
    std::size_t size;
    int result;
};

struct Scenario {
    std::string name;
    std::string exportName;
    // "." is the scenario's folder $T (the working directory); any other
    // argument is a path relative to $T.
    std::vector<std::string> args;
    // Written into $T before the calls (inputs, ini files, Interface.ini).
    std::vector<std::pair<std::string, std::string>> files;
    // The output argument; where `linkTarget` is set, it is a symbolic link
    // to that name, made before every call.
    std::string output;
    std::string linkTarget;
    std::string expectedOutput;
    // The status file (device to customer); none: there must be none.
    std::optional<std::string> expectedStatus;
    // Temp.xml; none: the call must not write one.
    std::optional<std::string> expectedTempXml;
    std::vector<Prerequisite> prerequisites;
    // A call made once before the sweep (the tag list is empty before a
    // conversion has shown the dictionary): export and arguments.
    std::vector<std::string> firstCall;
    // An input of some size: the sweeps take a sample of their points
    // unless run with --large.
    bool large = false;
    // Byte offsets in the output where late fields land: the write sweep
    // tries every limit around them.
    std::vector<std::size_t> marks;
};

// Every scenario of the sweeps, small ones first.
const std::vector<Scenario>& Scenarios();
