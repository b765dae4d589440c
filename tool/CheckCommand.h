// zk8conv check: runs a conversion walk with an observer and reports all
// that the conversion would drop or alter without a word.
#pragma once

#include <string>

enum class CheckDirection { Auto, ToDevice, ToCustomer };

// Exit status: 0 nothing would be lost, 1 something would, 2 the input
// cannot be read (or would be refused by the conversion).
int RunCheck(const std::string& inputPath, CheckDirection direction, bool json);
