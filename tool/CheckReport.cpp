#include "tool/CheckReport.h"

#include <cstdio>

#include <nlohmann/json.hpp>

namespace {

// How many places of each group the report shows.
const std::size_t kPlacesShown = 3;

// 2000 as "2,000".
std::string Count(std::size_t number) {
    std::string digits = std::to_string(number);
    for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), ",");
    }
    return digits;
}

// The first places of every group, found in one pass over the input.
std::vector<std::vector<TextPosition>> FirstPlaces(const CheckFindings& findings, TextPositions& positions) {
    std::vector<std::vector<TextPosition>> places(findings.Groups().size());
    for (const FindingOccurrence& occurrence : findings.Occurrences()) {
        std::vector<TextPosition>& shown = places[occurrence.group];
        if (shown.size() < kPlacesShown) shown.push_back(positions.At(occurrence.offset));
    }
    return places;
}

std::string Place(const TextPosition& at) {
    return std::to_string(at.line) + ":" + std::to_string(at.column);
}

// A string as JSON; bytes that are not UTF-8 become U+FFFD.
std::string Quoted(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

void PrintCheckText(const CheckReportHeading& heading, const CheckFindings& findings,
                    TextPositions& positions, bool every) {
    std::printf("%s (%s):\n", heading.file.c_str(), heading.direction.c_str());
    if (findings.Empty()) {
        std::printf("  nothing is dropped or altered\n");
        return;
    }
    const std::vector<FindingGroup>& groups = findings.Groups();
    const std::size_t total = findings.Occurrences().size();
    const char* plural = total == 1 ? "" : "s";
    if (every) {
        for (const FindingOccurrence& occurrence : findings.Occurrences()) {
            std::printf("  %s: %s\n", Place(positions.At(occurrence.offset)).c_str(),
                        groups[occurrence.group].message.c_str());
        }
    } else {
        const std::vector<std::vector<TextPosition>> places = FirstPlaces(findings, positions);
        for (std::uint32_t index : findings.GroupOrder()) {
            const FindingGroup& group = groups[index];
            std::string line = "  " + Place(places[index].front()) + ": " + group.message;
            if (group.count > 1) {
                line += " \u2014 " + Count(group.count) + " times, first at ";
                for (std::size_t i = 0; i < places[index].size(); ++i) {
                    line += (i > 0 ? ", " : "") + Place(places[index][i]);
                }
                if (group.count > places[index].size()) line += ", \u2026";
            }
            std::printf("%s\n", line.c_str());
        }
    }
    if (every || groups.size() == total) {
        std::printf("%s finding%s: the conversion would drop or alter content\n", Count(total).c_str(), plural);
    } else {
        std::printf("%s finding%s in %s group%s: the conversion would drop or alter content "
                    "(zk8conv check --all lists every one)\n",
                    Count(total).c_str(), plural, Count(groups.size()).c_str(), groups.size() == 1 ? "" : "s");
    }
}

void PrintCheckJson(const CheckReportHeading& heading, const CheckFindings& findings,
                    TextPositions& positions) {
    // Written as it goes, in the layout of nlohmann::json::dump(2): a large
    // file's findings are never all held as JSON objects.
    const std::vector<FindingGroup>& groups = findings.Groups();
    std::printf("{\n  \"direction\": %s,\n  \"file\": %s,\n  \"findings\": [",
                Quoted(heading.direction).c_str(), Quoted(heading.file).c_str());
    std::vector<std::vector<TextPosition>> places(groups.size());
    const char* separator = "\n";
    for (const FindingOccurrence& occurrence : findings.Occurrences()) {
        const FindingGroup& group = groups[occurrence.group];
        const TextPosition at = positions.At(occurrence.offset);
        if (places[occurrence.group].size() < kPlacesShown) places[occurrence.group].push_back(at);
        std::printf("%s    {\n      \"column\": %zu,\n      \"kind\": %s,\n      \"line\": %zu,\n"
                    "      \"message\": %s,\n      \"subject\": %s\n    }",
                    separator, at.column, Quoted(group.kind).c_str(), at.line, Quoted(group.message).c_str(),
                    Quoted(group.subject).c_str());
        separator = ",\n";
    }
    std::printf(findings.Empty() ? "],\n  \"groups\": [" : "\n  ],\n  \"groups\": [");
    separator = "\n";
    for (std::uint32_t index : findings.GroupOrder()) {
        const FindingGroup& group = groups[index];
        std::printf("%s    {\n      \"count\": %zu,\n      \"first\": [", separator, group.count);
        const char* placeSeparator = "\n";
        for (const TextPosition& at : places[index]) {
            std::printf("%s        {\n          \"column\": %zu,\n          \"line\": %zu\n        }",
                        placeSeparator, at.column, at.line);
            placeSeparator = ",\n";
        }
        std::printf("\n      ],\n      \"kind\": %s,\n      \"message\": %s,\n      \"subject\": %s\n    }",
                    Quoted(group.kind).c_str(), Quoted(group.message).c_str(), Quoted(group.subject).c_str());
        separator = ",\n";
    }
    std::printf(findings.Empty() ? "],\n" : "\n  ],\n");
    std::printf("  \"lossless\": %s\n}\n", findings.Empty() ? "true" : "false");
}
