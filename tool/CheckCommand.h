// zk8conv check: runs a conversion walk with an observer and reports all
// that the conversion would drop or alter without a word.
#pragma once

#include <string>

enum class CheckDirection { Auto, ToDevice, ToCustomer };

struct CheckOptions {
    CheckDirection direction = CheckDirection::Auto;
    bool json = false;   // the JSON report: every finding and the groups
    bool every = false;  // the text report lists every finding, not the groups
    std::string shownName;  // the input as the report names it
};

// Exit status: 0 nothing would be lost, 1 something would, 2 the input
// cannot be read (or would be refused by the conversion).
int RunCheck(const std::string& inputPath, const CheckOptions& options);
