// The error numbers of the device's exception blocks and their texts, as the
// status files list them. The table outlives the conversion that fills it:
// each run starts counting from its first entry again, and an entry whose
// number gets no text in this run keeps the text an earlier run left there.
#pragma once

#include <array>
#include <string>

struct ErrorEntry {
    std::string number;
    std::string text;
};

using CErrorTable = std::array<ErrorEntry, 32>;
