// One-line meanings of the exported functions' negative results, and what
// to do about each.
#pragma once

#include <string>

const char* ResultMeaning(int result);
// What to do about it, in a few words.
const char* ResultRemedy(int result);
// What to do about `result` for the input file at `inputPath`. For -98 the
// file itself is read (its first bytes, its XML declaration, whether it is
// UTF-8 throughout), so that the advice fits it: a UTF-8 file without a
// declaration is told to add one, a declaration naming another encoding is
// named. Other results, or a file that cannot be read, get ResultRemedy's.
std::string InputRemedy(int result, const std::string& inputPath);
