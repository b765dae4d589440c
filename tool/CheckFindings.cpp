#include "tool/CheckFindings.h"

#include <algorithm>

void CheckFindings::Add(std::ptrdiff_t offset, const std::string& key,
                        const std::function<FindingGroup()>& describe) {
    auto found = m_groupByKey.find(key);
    if (found == m_groupByKey.end()) {
        found = m_groupByKey.emplace(key, static_cast<std::uint32_t>(m_groups.size())).first;
        m_groups.push_back(describe());
    }
    FindingGroup& group = m_groups[found->second];
    group.firstOffset = group.count == 0 ? offset : std::min(group.firstOffset, offset);
    ++group.count;
    m_occurrences.push_back({offset, found->second});
}

void CheckFindings::Sort() {
    std::stable_sort(m_occurrences.begin(), m_occurrences.end(),
                     [](const FindingOccurrence& a, const FindingOccurrence& b) { return a.offset < b.offset; });
}

std::vector<std::uint32_t> CheckFindings::GroupOrder() const {
    std::vector<std::uint32_t> order(m_groups.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
        const FindingGroup& x = m_groups[a];
        const FindingGroup& y = m_groups[b];
        if (x.rank != y.rank) return x.rank < y.rank;
        return x.firstOffset < y.firstOffset;
    });
    return order;
}
