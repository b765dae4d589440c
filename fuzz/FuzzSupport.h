// Shared by the fuzz targets: the scratch folder of the fuzzing process (the
// application-data folder and working directory, with an Interface.ini that
// logs every entry), its files and the conversions run twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <pugixml.hpp>

#include "support/TempFolder.h"

namespace fuzz {

// Created on first use below /dev/shm where it exists, removed at exit.
const std::string& ScratchFolder();
// Writes the bytes to a file in the scratch folder and returns its path.
std::string WriteScratchFile(const char* name, const std::uint8_t* data, std::size_t size);
// Stops the process so that libFuzzer reports the input: for broken
// invariants that are not memory errors.
[[noreturn]] void Fail(const char* what);
std::string Serialised(const pugi::xml_document& document);

// Converts the input with the library's converter (option and namespace
// switch taken from the input's length) twice: nothing of the first run may
// show in the second, so both must write the same files. Returns the output.
enum class Direction { ToDevice, ToCustomer };
std::string ConvertTwice(Direction direction, const std::uint8_t* data, std::size_t size, bool compare = true);

}  // namespace fuzz
