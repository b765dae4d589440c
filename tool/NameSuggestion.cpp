#include "tool/NameSuggestion.h"

#include <algorithm>

namespace {

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

}  // namespace

std::string ClosestName(const std::string& name, const std::vector<std::string>& candidates) {
    // A typo changes a few characters, so allow about a third of the name.
    const std::size_t limit = std::max<std::size_t>(1, name.size() / 3);
    std::string best;
    std::size_t bestDistance = limit + 1;
    for (const std::string& candidate : candidates) {
        // Names that differ in length by more than the best distance so far
        // cannot come closer: a long name costs nothing to compare.
        const std::size_t apart =
            name.size() > candidate.size() ? name.size() - candidate.size() : candidate.size() - name.size();
        if (apart >= bestDistance) continue;
        const std::size_t distance = EditDistance(name, candidate);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
    }
    return best;
}
