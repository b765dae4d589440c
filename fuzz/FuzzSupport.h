// Shared by the fuzz targets: a scratch folder of the fuzzing process, set up
// as application-data folder and working directory, and whole-file helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Created on first use, below /dev/shm when it exists (the targets write a
// few files per input), and removed when the process ends normally. It
// holds ORVANE/Kelmora, so that Temp.xml lands in it, and is the working
// directory of the run log.
const std::string& ScratchFolder();

// The scratch folder with an Interface.ini that writes every run-log entry,
// so that the conversions exercise the logging of unknown fields too.
const std::string& ConversionScratchFolder();

// Writes the bytes to a file in the scratch folder and returns its path.
std::string WriteScratchFile(const char* name, const std::uint8_t* data, std::size_t size);

std::string ReadWholeFile(const std::string& path);

// Stops the process so that libFuzzer reports the input: used for broken
// invariants that are not memory errors.
[[noreturn]] void Fail(const char* what);

}  // namespace fuzz
