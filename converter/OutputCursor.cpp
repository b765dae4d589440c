#include "converter/OutputCursor.h"

#include <cstring>

bool COutputCursor::Align(const pugi::xml_node& inputElement) {
    // Names are compared in place, as the input document and the output hold them.
    const pugi::xml_node parent = inputElement.parent();
    if (!parent || parent != m_alignedParent) {
        const NameFacts* facts = m_dictionary.Find(parent.name());
        const char* found = facts == nullptr ? nullptr : m_toDevice ? facts->internOfExtern : facts->externOfIntern;
        m_alignedParent = parent;
        m_alignedWanted = found != nullptr ? found : "";
    }
    const char* wanted = m_alignedWanted;
    if (!record) return true;

    auto same = [](const char* a, const char* b) { return std::strcmp(a, b) == 0; };
    if (same(record.Name(), wanted)) return true;
    const char* parentOfRecord = record.ParentName();

    // With the stack already unwound there is nothing to go back to; the
    // record stays where it is.
    if (m_open.empty()) return true;
    record = m_open.back();
    if (same(record.Name(), wanted)) return true;

    while (!m_open.empty()) {
        const bool parentMatches = same(parentOfRecord, wanted);
        m_open.pop_back();
        if (m_open.empty()) return false;
        record = m_open.back();
        if (parentMatches) return true;
        parentOfRecord = record.ParentName();
    }
    return true;
}
