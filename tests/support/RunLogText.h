// The run log as tests read it: time stamps vary, so their format is checked
// and the value masked as "<TS>".
#pragma once

#include <regex>
#include <string>

inline const std::string kRunLogHead =
    "Date/Time            : Modulename          LogID   LogText\r\n" + std::string(115, '-') +
    "\r\n<TS> : ZkLog                1       Create LogFile\r\n\r\n";

inline std::string Masked(const std::string& text) {
    static const std::regex stamp(R"(\d{4}\.\d{2}\.\d{2} \d{2}\.\d{2}\.\d{2} : )");
    return std::regex_replace(text, stamp, "<TS> : ");
}
