// What a check found. Findings of one kind about one name form a group (the
// device number dropped from each of 2,000 records is one group of 2,000);
// each occurrence is kept as its place in the input and its group, so a
// check of a large file holds a few bytes per finding, and each group's
// message is made once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// How much a group matters to the person reading the report; groups are
// listed in this order.
enum class FindingRank {
    WholeFile = 0,      // the file cannot be converted as a whole
    InputProblem = 1,   // what the input got wrong: unknown names, content with nowhere to go
    FormatLimit = 2,    // what the device format always leaves out
};

struct FindingGroup {
    FindingRank rank;
    std::string kind;     // e.g. "unknown-element"
    std::string subject;  // the name it is about
    std::string message;
    std::size_t count = 0;
    std::ptrdiff_t firstOffset = 0;
};

struct FindingOccurrence {
    std::ptrdiff_t offset;  // in the parser's UTF-8 text
    std::uint32_t group;
};

class CheckFindings {
public:
    // One finding at offset. `key` tells two findings of the same group
    // apart from others; `describe` makes the group when it is new.
    void Add(std::ptrdiff_t offset, const std::string& key, const std::function<FindingGroup()>& describe);

    // Orders the occurrences by place (ties in the order found).
    void Sort();
    // Group numbers: by rank, then by the place of the first occurrence.
    std::vector<std::uint32_t> GroupOrder() const;

    const std::vector<FindingOccurrence>& Occurrences() const { return m_occurrences; }
    const std::vector<FindingGroup>& Groups() const { return m_groups; }
    bool Empty() const { return m_occurrences.empty(); }

private:
    std::vector<FindingOccurrence> m_occurrences;
    std::vector<FindingGroup> m_groups;
    std::unordered_map<std::string, std::uint32_t> m_groupByKey;
};
