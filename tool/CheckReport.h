// The report of zk8conv check, as text or JSON, on standard output.
#pragma once

#include <string>

#include "tool/CheckFindings.h"
#include "tool/TextPositions.h"

struct CheckReportHeading {
    std::string file;       // as the user named it ("-" for standard input)
    std::string direction;  // "to-device" or "to-customer"
};

// Text: one line per group, the groups that matter most first, or with
// `every` one line per finding in the order of the input.
void PrintCheckText(const CheckReportHeading& heading, const CheckFindings& findings,
                    TextPositions& positions, bool every);

// JSON: every finding in the order of the input, and the groups in the
// order of the text report.
void PrintCheckJson(const CheckReportHeading& heading, const CheckFindings& findings,
                    TextPositions& positions);
