#include "dictionary/NameIndex.h"

#include <cstring>

#include "dictionary/Dictionary.h"

void CNameIndex::Build(const CDictionary& d) {
    using NameMap = CDictionary::NameMap;
    using NameSet = CDictionary::NameSet;
    const NameMap* const maps[] = {&d.m_externToIntern,     &d.m_internToExtern,     &d.m_modeExternToIntern,
                                   &d.m_modeInternToExtern, &d.m_rootInternToExtern, &d.m_rootExternToIntern,
                                   &d.m_rootExternToListName};
    const char* NameFacts::*const mapFields[] = {&NameFacts::internOfExtern, &NameFacts::externOfIntern,
                                                 &NameFacts::modeCodeOfWord, &NameFacts::modeWordOfCode,
                                                 &NameFacts::recordOfTag,    &NameFacts::tagOfRecord,
                                                 &NameFacts::listOfRecord};
    const NameSet* const sets[] = {&d.m_deviceNoTags, &d.m_deviceNoOptionalTags, &d.m_turnoverRoots,
                                   &d.m_zkOnlyTags,   &d.m_norvaOnlyTags,        &d.m_sharedTags,
                                   &d.m_departmentNoTags, &d.m_nillableTags};
    bool NameFacts::*const setFields[] = {&NameFacts::deviceNo,     &NameFacts::deviceNoOptional,
                                          &NameFacts::turnover,     &NameFacts::zkOnly,
                                          &NameFacts::norvaOnly,    &NameFacts::shared,
                                          &NameFacts::departmentNo, &NameFacts::nillable};

    // Room for everything up front, so that no pointer handed out moves.
    std::size_t entries = 0;
    std::size_t bytes = 0;
    for (const NameMap* map : maps) {
        entries += map->size();
        for (const auto& entry : *map) bytes += entry.first.size() + entry.second.size() + 2;
    }
    for (const NameSet* set : sets) {
        entries += set->size();
        for (const std::string& name : *set) bytes += name.size() + 1;
    }
    m_facts.clear();
    m_facts.reserve(entries);
    m_text.clear();
    m_text.reserve(bytes);
    // At most half full, so that a probe for a missing name ends soon.
    std::size_t size = 64;
    while (size < entries * 2) size *= 2;
    m_slots.assign(size, Slot{0, 0, nullptr, nullptr});
    m_mask = size - 1;

    for (std::size_t i = 0; i < sizeof maps / sizeof maps[0]; ++i) {
        for (const auto& entry : *maps[i]) Entry(entry.first).*mapFields[i] = Keep(entry.second);
    }
    for (std::size_t i = 0; i < sizeof sets / sizeof sets[0]; ++i) {
        for (const std::string& name : *sets[i]) Entry(name).*setFields[i] = true;
    }
    for (NameFacts& facts : m_facts) {
        if (facts.externOfIntern != nullptr) facts.externFacts = Find(facts.externOfIntern);
    }
}

NameFacts& CNameIndex::Entry(const std::string& name) {
    const std::uint32_t hash = Hash(name.data(), name.size());
    std::size_t slot = hash & m_mask;
    for (;; slot = (slot + 1) & m_mask) {
        Slot& s = m_slots[slot];
        if (s.key == nullptr) break;
        if (s.hash == hash && s.length == name.size() && std::memcmp(s.key, name.data(), name.size()) == 0) {
            return *s.facts;
        }
    }
    m_facts.emplace_back();
    m_slots[slot] = Slot{hash, static_cast<std::uint32_t>(name.size()), Keep(name), &m_facts.back()};
    return m_facts.back();
}

const char* CNameIndex::Keep(const std::string& text) {
    const char* kept = m_text.data() + m_text.size();
    m_text.insert(m_text.end(), text.begin(), text.end());
    m_text.push_back('\0');
    return kept;
}

const NameFacts* CNameIndex::Find(const char* name, std::size_t length) const {
    if (length == 0) return nullptr;  // no name of the tag table is empty
    return Probe(name, length, Hash(name, length));
}
