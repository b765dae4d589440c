// A hashed view of the dictionary for the conversion walks: everything the
// maps and sets say about one name, found with a single probe straight from
// the name pointer the parser hands out, without building a string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// True when name is exactly the literal; inline, for the short fixed names
// the walks test their tags against.
template <std::size_t N>
inline bool NameIs(const char* name, const char (&literal)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (name[i] != literal[i]) return false;
    }
    return true;
}

class CDictionary;

// What the dictionary holds for one name, as a key of each container. A null
// pointer means the name is not a key of that map.
struct NameFacts {
    const char* internOfExtern = nullptr;   // m_externToIntern
    const char* externOfIntern = nullptr;   // m_internToExtern
    const char* modeCodeOfWord = nullptr;   // m_modeExternToIntern
    const char* modeWordOfCode = nullptr;   // m_modeInternToExtern
    const char* recordOfTag = nullptr;      // m_rootInternToExtern
    const char* tagOfRecord = nullptr;      // m_rootExternToIntern
    const char* listOfRecord = nullptr;     // m_rootExternToListName
    // Facts of the name externOfIntern stands for (null when it has none).
    const NameFacts* externFacts = nullptr;
    bool deviceNo = false;                  // m_deviceNoTags
    bool deviceNoOptional = false;          // m_deviceNoOptionalTags
    bool turnover = false;                  // m_turnoverRoots
    bool zkOnly = false;                    // m_zkOnlyTags
    bool norvaOnly = false;                 // m_norvaOnlyTags
    bool shared = false;                    // m_sharedTags
    bool departmentNo = false;              // m_departmentNoTags
    bool nillable = false;                  // m_nillableTags
};

class CNameIndex {
public:
    CNameIndex() = default;
    CNameIndex(const CNameIndex&) = delete;
    CNameIndex& operator=(const CNameIndex&) = delete;

    // Takes in every container of the dictionary. Names and values are
    // copied: the index never points into the containers.
    void Build(const CDictionary& dictionary);

    // The facts of a name, or null when the name is a key of no container.
    const NameFacts* Find(const char* name) const {
        // Text nodes have no name, and no name of the tag table is empty:
        // most probes of a walk end here.
        if (*name == '\0') return nullptr;
        std::uint32_t hash = 0;
        const char* p = name;
        for (; *p != '\0'; ++p) hash = Step(hash, static_cast<unsigned char>(*p));
        return Probe(name, static_cast<std::size_t>(p - name), Finish(hash));
    }
    const NameFacts* Find(const std::string& name) const { return Find(name.data(), name.size()); }
    const NameFacts* Find(const char* name, std::size_t length) const;

private:
    struct Slot {
        std::uint32_t hash;
        std::uint32_t length;
        const char* key;  // null: empty slot
        NameFacts* facts;
    };

    static std::uint32_t Step(std::uint32_t hash, unsigned char c) { return ((hash << 5) | (hash >> 27)) ^ c; }
    static std::uint32_t Finish(std::uint32_t hash) {
        hash *= 0x9E3779B1u;
        return hash ^ (hash >> 15);
    }
    static std::uint32_t Hash(const char* name, std::size_t length) {
        std::uint32_t hash = 0;
        for (std::size_t i = 0; i < length; ++i) hash = Step(hash, static_cast<unsigned char>(name[i]));
        return Finish(hash);
    }

    const Slot& SlotFor(const char* name, std::size_t length, std::uint32_t hash) const {
        for (std::size_t slot = hash & m_mask;; slot = (slot + 1) & m_mask) {
            const Slot& s = m_slots[slot];
            if (s.key == nullptr) return s;
            if (s.hash == hash && s.length == length && std::memcmp(s.key, name, length) == 0) return s;
        }
    }
    const NameFacts* Probe(const char* name, std::size_t length, std::uint32_t hash) const {
        return SlotFor(name, length, hash).facts;
    }

    // The facts of a name, added when it has none yet (while building).
    NameFacts& Entry(const std::string& name);
    // A copy of the text that stays in place for the life of the index.
    const char* Keep(const std::string& text);

    // One empty slot at least, so that every probe ends.
    std::vector<Slot> m_slots = std::vector<Slot>(1, Slot{0, 0, nullptr, nullptr});
    std::size_t m_mask = 0;
    std::vector<NameFacts> m_facts;  // reserved in full before the first entry
    std::vector<char> m_text;        // likewise: names and values, each NUL-terminated
};
